// The wizard on a terminal with no display: --help and --version are answered before Qt looks
// for a window system, and a start without a display says what is missing instead of aborting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iterator>

#include "CliProcess.h"

namespace {

struct WizardRun {
    std::vector<std::string> arguments;
    const char* language;  // LANG
    int status;
    std::string out;  // a part of standard output; "" wants it empty
    std::string err;  // a part of standard error; "" wants it empty
};

void PrintTo(const WizardRun& run, std::ostream* os) {
    *os << run.language << " tarvelin";
    for (const std::string& argument : run.arguments) {
        *os << " " << argument;
    }
}

// Through env(1), which can take variables away; our spawn can only add them.
std::vector<std::string> WithoutDisplay(const WizardRun& run) {
    std::vector<std::string> args = {"-u",
                                     "DISPLAY",
                                     "-u",
                                     "WAYLAND_DISPLAY",
                                     "-u",
                                     "QT_QPA_PLATFORM",
                                     std::string("LANG=") + run.language,
                                     "LC_ALL=",
                                     "LC_MESSAGES=",
                                     TARVELIN_WIZARD_PATH};
    args.insert(args.end(), run.arguments.begin(), run.arguments.end());
    return args;
}

class WizardWithoutDisplay : public testing::TestWithParam<WizardRun> {};

TEST_P(WizardWithoutDisplay, AnswersOnTheTerminal) {
    const WizardRun& run = GetParam();
    CliProcess wizard(CliProcess::Program{}, "/usr/bin/env", WithoutDisplay(run));
    EXPECT_EQ(wizard.Wait(std::chrono::seconds(30)), run.status) << wizard.Err();
    const auto holds = [](const std::string& text, const std::string& part) {
        return part.empty() ? text.empty() : text.find(part) != std::string::npos;
    };
    EXPECT_TRUE(holds(wizard.Out(), run.out)) << wizard.Out();
    if (run.status == 0) {
        EXPECT_TRUE(holds(wizard.Err(), run.err)) << wizard.Err();
    } else {
        // Qt's own warnings may come first; ours ends the output.
        EXPECT_NE(wizard.Err().find(run.err), std::string::npos) << wizard.Err();
    }
}

const std::string kVersionLine = std::string("tarvelin ") + TARVELIN_PROJECT_VERSION + "\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, WizardWithoutDisplay,
    testing::Values(
        WizardRun{{"--version"}, "C.UTF-8", 0, kVersionLine, ""},
        WizardRun{{"/no/such/folder", "-V"}, "C.UTF-8", 0, kVersionLine, ""},
        WizardRun{{"--help"}, "C.UTF-8", 0, "Usage: tarvelin [FOLDER | CODER_IMAGE]", ""},
        WizardRun{{"-h"}, "C.UTF-8", 0, "Exit status:\n  0 ", ""},
        WizardRun{{"--help"}, "de_DE.UTF-8", 0, "Aufruf: tarvelin [ORDNER | CODER-FIRMWARE]", ""},
        WizardRun{{}, "C.UTF-8", 1, "", "tarvelin: the wizard cannot open its window: no display"},
        WizardRun{{},
                  "de_DE.UTF-8",
                  1,
                  "",
                  "tarvelin: Der Assistent kann sein Fenster nicht öffnen: keine Anzeige"}));

// The hand-written manual page names what --help names: every option and exit status.
TEST(WizardManPage, AgreesWithTheHelp) {
    CliProcess wizard(CliProcess::Program{}, "/usr/bin/env",
                      WithoutDisplay({{"--help"}, "C.UTF-8", 0, "", ""}));
    ASSERT_EQ(wizard.Wait(std::chrono::seconds(30)), 0) << wizard.Err();
    const std::vector<std::string> page = ReadLines(TARVELIN_WIZARD_MAN_PAGE);
    ASSERT_FALSE(page.empty()) << TARVELIN_WIZARD_MAN_PAGE;
    // A word of the page's roff, e.g. "\\-\\-help".
    const auto pageHas = [&](const std::string& word) {
        return std::any_of(page.begin(), page.end(), [&](const std::string& line) {
            std::istringstream words(line);
            return std::find(std::istream_iterator<std::string>(words),
                             std::istream_iterator<std::string>(),
                             word) != std::istream_iterator<std::string>();
        });
    };
    int options = 0;
    int statuses = 0;
    bool inStatuses = false;
    std::istringstream help(wizard.Out());
    for (std::string line; std::getline(help, line);) {
        if (line == "Exit status:") {
            inStatuses = true;
        } else if (line.rfind("  -", 0) == 0) {
            // "  -h, --help   print ..." is ".BR \-h ", " \-\-help" in roff.
            for (size_t at = line.find('-'); at != std::string::npos && line[at] == '-';) {
                const size_t end = line.find_first_of(", ", at);
                std::string option = line.substr(at, end - at);
                std::string roff;
                for (char c : option) {
                    roff += c == '-' ? "\\-" : std::string(1, c);
                }
                EXPECT_TRUE(pageHas(roff)) << option << " is not in " << TARVELIN_WIZARD_MAN_PAGE;
                ++options;
                at = line.find_first_not_of(", ", end);
            }
        } else if (inStatuses && line.size() > 2 &&
                   std::isdigit(static_cast<unsigned char>(line[2]))) {
            const std::string status = line.substr(2, line.find(' ', 2) - 2);
            EXPECT_NE(std::find(page.begin(), page.end(), ".B " + status), page.end())
                << "exit status " << status;
            ++statuses;
        }
    }
    EXPECT_GE(options, 2) << "no options read from:\n" << wizard.Out();
    EXPECT_GE(statuses, 2) << "no exit statuses read from:\n" << wizard.Out();
}

}  // namespace
