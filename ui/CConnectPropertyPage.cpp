#include "ui/CConnectPropertyPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <limits>

#include "transport/SerialPorts.h"
#include "ui/CMaskEdit.h"
#include "ui/CXColorStatic.h"
#include "ui/GuidanceTexts.h"
#include "ui/Settings.h"
#include "ui/TemplateTexts.h"
#include "update/OpenFailureTexts.h"

namespace {

constexpr int kHighestTcpPort = 65535;

}  // namespace

int64_t LeadingNumber(const QString& text) {
    int64_t value = 0;
    int i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i].unicode() - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) {
            return std::numeric_limits<int64_t>::max();
        }
        value = value * 10 + digit;
    }
    return value;
}

CConnectPropertyPage::CConnectPropertyPage(Language language, QWidget* parent)
    : QWizardPage(parent), language_(language) {
    setTitle(Text(101, language));
    setSubTitle(Text(102, language));

    serialRadio = new QRadioButton(TemplateString(TemplateText::SerialRadio, language));
    serialRadio->setObjectName("connect1002");
    auto* serialPortLabel = new QLabel(TemplateString(TemplateText::SerialPortLabel, language));
    serialPortLabel->setObjectName("connectComLabel");
    comPortList = new QComboBox;
    comPortList->setObjectName("connectComCombo");
    comPortList->setMinimumContentsLength(6);
    tcpRadio = new QRadioButton(TemplateString(TemplateText::TcpRadio, language));
    tcpRadio->setObjectName("connect1004");
    addressLabel = new QLabel(TemplateString(TemplateText::AddressLabel, language));
    addressLabel->setObjectName("connect1007");
    addressEdit = new QLineEdit;
    addressEdit->setObjectName("connect1005");
    addressEdit->setMaxLength(511);
    addressEdit->setEnabled(false);
    portLabel = new QLabel(TemplateString(TemplateText::TcpPortLabel, language));
    portLabel->setObjectName("connect1008");
    portEdit = new CMaskEdit;
    portEdit->setObjectName("connect1006");
    portEdit->setEnabled(false);
    portEdit->setMaximumWidth(addressEdit->fontMetrics().horizontalAdvance("0000000000") + 12);
    portHint = new CXColorStatic(GuidanceString(GuidanceText::PortTooHigh, language));
    portHint->setObjectName("connectPortHint");
    portHint->SetTextColor(QColor(255, 0, 0));
    portHint->hide();
    portsNote = new CXColorStatic;
    portsNote->setObjectName("connectPortsNote");
    portsNote->SetTextColor(QColor(255, 0, 0));
    portsNote->setWordWrap(true);
    portsNote->hide();

    // Two columns as in the template: radios and indented labels left, fields from one edge.
    auto* grid = new QGridLayout(this);
    grid->setColumnMinimumWidth(0, 16);
    grid->addWidget(serialRadio, 0, 0, 1, 3);
    grid->addWidget(serialPortLabel, 1, 1);
    grid->addWidget(comPortList, 1, 2, Qt::AlignLeft);
    grid->addWidget(portsNote, 2, 1, 1, 3);
    grid->setRowMinimumHeight(2, 8);
    grid->addWidget(tcpRadio, 3, 0, 1, 3);
    grid->addWidget(addressLabel, 4, 1);
    grid->addWidget(addressEdit, 4, 2);
    grid->addWidget(portLabel, 5, 1);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(portEdit);
    portRow->addWidget(portHint);
    portRow->addStretch(1);
    grid->addLayout(portRow, 5, 2);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(6, 1);

    connect(serialRadio, &QRadioButton::clicked, this, &CConnectPropertyPage::OnSerialClicked);
    connect(tcpRadio, &QRadioButton::clicked, this, &CConnectPropertyPage::OnTcpClicked);
    connect(addressEdit, &QLineEdit::textChanged, this, &CConnectPropertyPage::ChoiceEdited);
    connect(portEdit, &QLineEdit::textChanged, this, &CConnectPropertyPage::ChoiceEdited);
    connect(portEdit, &QLineEdit::textChanged, this, &CConnectPropertyPage::UpdatePortHint);

    QSettings settings = OpenSettings();
    settings.beginGroup(kSettingsGroup);
    serialPort = settings.value(kSerialPortValue, 1).toInt();
    tcpAddress = settings.value(kTcpAddressValue, QString()).toString();
    tcpPort = settings.value(kTcpPortValue, 0).toInt();
    connectionType = settings.value(kConnectionTypeValue, 0).toInt();
}

void CConnectPropertyPage::OnSetActive() {
    portEdit->SetValidChars("0123456789");
    FillComPortList(serialPort);
    addressEdit->setText(tcpAddress);
    if (tcpPort != 0) {
        portEdit->setText(QString::number(tcpPort));
    }
    UpdateControls();
}

bool CConnectPropertyPage::OnKillActive() {
    QSettings settings = OpenSettings();
    settings.beginGroup(kSettingsGroup);
    settings.setValue(kConnectionTypeValue, connectionType);
    if (connectionType == 0) {
        serialPort = comPortList->currentIndex() < 0 ? -1 : comPortList->currentData().toInt();
        settings.setValue(kSerialPortValue, serialPort);
    } else {
        tcpAddress = addressEdit->text();
        settings.setValue(kTcpAddressValue, tcpAddress);
        const int64_t port = LeadingNumber(portEdit->text());
        tcpPort = port > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                             : static_cast<int32_t>(port);
        settings.setValue(kTcpPortValue, tcpPort);
    }
    return true;
}

void CConnectPropertyPage::FillComPortList(int portToSelect) {
    comPortList->clear();
    // Without a word about the ports left out, a user outside their group sees an empty list.
    // A port another program holds opens and is listed: its holder may let go before Next.
    std::vector<OpenFailure> notUsable;
    for (const SerialPortDetails& port : ListSerialPortDetails()) {
        if (!port.usable) {
            notUsable.push_back(PortOpenFailure(port));
        }
        if (!port.opens) {
            continue;
        }
        const int number = port.comNumber;
        comPortList->addItem(QString("COM%1").arg(number), number);
        if (number == portToSelect) {
            comPortList->setCurrentIndex(comPortList->count() - 1);
        }
    }
    portsNote->setText(QString::fromStdString(UnusablePortsNote(notUsable, language_)));
    portsNote->setVisible(connectionType == 0 && !notUsable.empty());
    if (comPortList->findData(portToSelect) < 0) {
        comPortList->setCurrentIndex(-1);
    }
    emit ChoiceEdited();
}

void CConnectPropertyPage::UpdateControls() {
    const bool serial = connectionType == 0;
    serialRadio->setChecked(serial);
    tcpRadio->setChecked(!serial);
    comPortList->setEnabled(serial);
    addressEdit->setEnabled(!serial);
    portEdit->setEnabled(!serial);
    portsNote->setVisible(serial && !portsNote->text().isEmpty());
    UpdatePortHint();
    emit ChoiceEdited();
}

void CConnectPropertyPage::UpdatePortHint() {
    portHint->setVisible(connectionType != 0 && LeadingNumber(portEdit->text()) > kHighestTcpPort);
}

bool CConnectPropertyPage::NextAllowed() const {
    if (connectionType == 0) {
        return comPortList->count() > 0;
    }
    // A port above 65535 would be cut to 16 bits and reach another port: refused like 0.
    const int64_t port = LeadingNumber(portEdit->text());
    return !addressEdit->text().isEmpty() && port != 0 && port <= kHighestTcpPort;
}

void CConnectPropertyPage::OnSerialClicked() {
    connectionType = serialRadio->isChecked() ? 0 : 1;
    UpdateControls();
}

void CConnectPropertyPage::OnTcpClicked() {
    connectionType = tcpRadio->isChecked() ? 1 : 0;
    UpdateControls();
}
