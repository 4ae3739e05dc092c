#include "ui/CConnectPropertyPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

#include "ui/CMaskEdit.h"
#include "ui/CXColorStatic.h"
#include "ui/Settings.h"
#include "ui/TemplateTexts.h"
#include "ui/WizardBinding.h"

CConnectPropertyPage::CConnectPropertyPage(Language language, ConnectPageLogic* logic,
                                           QWidget* parent)
    : QWizardPage(parent), logic_(logic) {
    if (logic_ == nullptr) {
        ownSettings_ = std::make_unique<QtSettingsStore>();
        ownLogic_ = std::make_unique<ConnectPageLogic>(*ownSettings_, language);
        logic_ = ownLogic_.get();
    }
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
    portHint = new CXColorStatic(QString::fromStdString(logic_->State().portHint.text));
    portHint->setObjectName("connectPortHint");
    portHint->SetTextColor(ToQColor(logic_->State().portHint.colour));
    portHint->hide();
    portsNote = new CXColorStatic;
    portsNote->setObjectName("connectPortsNote");
    portsNote->SetTextColor(ToQColor(logic_->State().portsNote.colour));
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

    connect(serialRadio, &QRadioButton::clicked, this, [this] {
        logic_->OnSerialClicked(serialRadio->isChecked());
        Bind();
    });
    connect(tcpRadio, &QRadioButton::clicked, this, [this] {
        logic_->OnTcpClicked(tcpRadio->isChecked());
        Bind();
    });
    connect(addressEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        logic_->OnAddressEdited(text.toStdString());
        Bind();
    });
    connect(portEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        logic_->OnPortEdited(text.toStdString());
        Bind();
    });
    connect(comPortList, &QComboBox::currentIndexChanged, this,
            [this](int index) { logic_->OnPortSelected(index); });
}

CConnectPropertyPage::~CConnectPropertyPage() {
    Unbind();
}

void CConnectPropertyPage::Unbind() {
    for (QObject* control : std::initializer_list<QObject*>{serialRadio, tcpRadio, addressEdit,
                                                            portEdit, comPortList}) {
        control->disconnect(this);
    }
}

void CConnectPropertyPage::OnSetActive() {
    portEdit->SetValidChars("0123456789");
    logic_->OnSetActive();
    Bind();
}

bool CConnectPropertyPage::OnKillActive() {
    return logic_->OnKillActive();
}

void CConnectPropertyPage::UpdateControls() {
    logic_->UpdateControls();
    Bind();
}

void CConnectPropertyPage::Bind() {
    const ConnectPageState& state = logic_->State();
    const bool serial = state.connectionType == 0;
    serialRadio->setChecked(serial);
    tcpRadio->setChecked(!serial);
    if (state.portListFills != portListFills_) {
        portListFills_ = state.portListFills;
        const QSignalBlocker quiet(comPortList);
        comPortList->clear();
        for (const ComPortEntry& port : state.ports) {
            comPortList->addItem(QString::fromStdString(port.name), port.number);
        }
    }
    if (comPortList->currentIndex() != state.selectedPort) {
        const QSignalBlocker quiet(comPortList);
        comPortList->setCurrentIndex(state.selectedPort);
    }
    comPortList->setEnabled(state.portListEnabled);
    addressEdit->setEnabled(state.tcpFieldsEnabled);
    portEdit->setEnabled(state.tcpFieldsEnabled);
    // Edits made here come back through textChanged with the text the logic already has.
    BindText(addressEdit, state.address);
    BindText(portEdit, state.port);
    BindStyled(portHint, state.portHint);
    BindStyled(portsNote, state.portsNote);
}
