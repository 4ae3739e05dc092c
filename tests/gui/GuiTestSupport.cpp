#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <map>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ui/CConnectPropertyPage.h"
#include "ui/CMaskEdit.h"
#include "ui/CUpdaterPropertySheet.h"

std::map<std::string, GuiTestFactory>& GuiTests();

GuiTestRegistration::GuiTestRegistration(const char* name, GuiTestFactory factory) {
    GuiTests()[name] = std::move(factory);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

SimProcess::SimProcess(const QStringList& arguments) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(TARVELIN_SIM_PATH, arguments);
    QElapsedTimer clock;
    clock.start();
    while (!ready_ && clock.elapsed() < 10000 && process_.state() != QProcess::NotRunning) {
        process_.waitForReadyRead(200);
        output_ += QString::fromUtf8(process_.readAll());
        for (const QString& line : output_.split('\n')) {
            if (line.startsWith("tcp 127.0.0.1:")) {
                tcpPort_ = line.mid(14).trimmed().toInt();
            }
            if (line.startsWith("serial ")) {
                serialPath_ = line.mid(7).trimmed();
            }
            if (line.trimmed() == "ready") {
                ready_ = true;
            }
        }
    }
}

SimProcess::~SimProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

FirmwareFolder::FirmwareFolder(bool withDsp, bool withSamples, int coderBlocks) {
    const auto write = [this](const QString& name, int size, const QByteArray& marker) {
        QByteArray data(size, '\0');
        for (int i = 0; i < size; ++i) {
            data[i] = static_cast<char>((i * 7 + 3) & 0xFF);
        }
        data.replace(64, marker.size(), marker);
        QFile file(dir_.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(data);
    };
    write("Coder_V02_16.img", coderBlocks * 64, "TVERV2.16");
    if (withDsp) {
        write("Dsp_V01_05.dsp", 4 * 64 + 10, QByteArray());  // a partial last block
    }
    if (withSamples) {
        write("Samples_V01_02.smp", 3 * 64, QByteArray());
    }
}

void UseFolder(CUpdaterPropertySheet& sheet, const FirmwareFolder& folder) {
    // As `tarvelin FOLDER` does.
    sheet.SetFirmwareFolder(QString::fromStdString(folder.Path()));
}

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

void ChooseTcp(CUpdaterPropertySheet& sheet, int port) {
    // The page shows its fields whenever it becomes active.
    CConnectPropertyPage* page = sheet.m_connectPage;
    ConnectPageLogic& choice = page->Logic();
    choice.connectionType = 1;
    choice.tcpAddress = "127.0.0.1";
    choice.tcpPort = port;
    page->UpdateControls();
    page->addressEdit->setText(QString::fromStdString(choice.tcpAddress));
    page->portEdit->setText(QString::number(port));
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxAnswerer::Look);
    timer_.start(10);
}

void MessageBoxAnswerer::Look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
        return;
    }
    ++seen;
    text = box->text();
    icon = box->icon();
    buttons.clear();
    for (QAbstractButton* button : box->buttons()) {
        buttons.append(button->text().remove('&'));
    }
    if (QAbstractButton* button = box->button(answer_)) {
        button->click();
    } else {
        box->reject();
    }
}
