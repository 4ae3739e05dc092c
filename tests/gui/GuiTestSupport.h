#pragma once

#include <QMessageBox>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class CUpdaterPropertySheet;

// The wizard's test classes register themselves; the runner picks them by name.
using GuiTestFactory = std::function<std::unique_ptr<QObject>()>;
struct GuiTestRegistration {
    GuiTestRegistration(const char* name, GuiTestFactory factory);
};

// Spins the event loop until `condition` holds; false after `timeoutMs`.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// A control of the wizard by its object name; null when there is none.
template <typename Widget>
Widget* Find(QWidget* root, const char* name) {
    return root->findChild<Widget*>(QString::fromLatin1(name));
}

// tarvelin-sim as a child process on loopback; stopped when this goes.
class SimProcess {
public:
    explicit SimProcess(const QStringList& arguments);
    ~SimProcess();
    bool Ready() const { return ready_; }
    int TcpPort() const { return tcpPort_; }
    // The pseudo-terminal it serves with --serial.
    const QString& SerialPath() const { return serialPath_; }
    const QString& Output() const { return output_; }

private:
    QProcess process_;
    QString output_;
    bool ready_ = false;
    int tcpPort_ = 0;
    QString serialPath_;
};

// A folder with a coder image (carrying its version marker for the simulator), optionally
// DSP samples and DSP firmware, and the log path beside them.
class FirmwareFolder {
public:
    FirmwareFolder(bool withDsp, bool withSamples, int coderBlocks = 16);
    std::string Path() const { return dir_.path().toStdString(); }
    std::string LogPath() const { return Path() + "/TarvelinLog.txt"; }

private:
    QTemporaryDir dir_;
};

// Points a sheet at a firmware folder; the log lies beside the files.
void UseFolder(CUpdaterPropertySheet& sheet, const FirmwareFolder& folder);

// A loopback TCP port nobody listens on (bound, then released).
int FreeLoopbackPort();

// Sets the Connect page to TCP/IP 127.0.0.1:port.
void ChooseTcp(CUpdaterPropertySheet& sheet, int port);

// Answers every message box the program shows, while it lives, with `answer`, and keeps what
// the last one showed: its text, icon and button captions (mnemonics removed).
class MessageBoxAnswerer : public QObject {
    Q_OBJECT
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer);
    int seen = 0;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;

private:
    void Look();
    QMessageBox::StandardButton answer_;
    QTimer timer_;
};
