// Runs the wizard's QTest classes: one by name (one CTest test each), or all of them.
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "GuiTestSupport.h"
#include "ui/CTarvelin.h"
#include "update/CZelkorTools.h"

std::map<std::string, GuiTestFactory>& GuiTests() {
    static std::map<std::string, GuiTestFactory> tests;
    return tests;
}

int main(int argc, char** argv) {
    // Settings and the ports folder of this run live in a folder of its own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    // The program's own application object, with Qt's texts in the language of the run.
    CTarvelin application(argc, argv);
    if (!application.LoadQtTranslations(SystemLanguage())) {
        std::fprintf(stderr, "Qt's translations are missing: run scripts/setup.sh\n");
        return 2;
    }
    CZelkorTools::GetInstance().Initialize(0);

    std::string only;
    QStringList arguments = application.arguments();
    if (arguments.size() > 1 && !arguments[1].startsWith('-')) {
        only = arguments[1].toStdString();
        arguments.removeAt(1);
    }
    int failures = 0;
    bool found = false;
    for (const auto& [name, factory] : GuiTests()) {
        if (!only.empty() && name != only) {
            continue;
        }
        found = true;
        const std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), arguments);
    }
    if (!found) {
        std::fprintf(stderr, "no test class named %s\n", only.c_str());
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
