#include "config/LanscopeConfigDlg.h"

#include <QApplication>
#include <QShortcut>

#include "config/Messages.h"
#include "config/SettingsHistory.h"
#include "ui_LanscopeConfigDlg.h"
#include "widgets/EightBitText.h"
#include "widgets/LanscopeHelpDlg.h"
#include "widgets/Messages.h"

namespace lanscope {

CLanscopeConfigDlg::CLanscopeConfigDlg(Prompt& prompt,
                                       std::function<std::vector<Ipv4>()> hostAddresses,
                                       const ModuleList* parentList, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CLanscopeConfigDlg>()),
      m_prompt(prompt),
      m_hostAddresses(std::move(hostAddresses)),
      m_parentList(parentList) {
    m_ui->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_ui->baudrateCombo->addItems(
        {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"});

    m_ui->cancelButton->setToolTip(UiText(messages::kTipCancel));
    m_ui->staticButton->setToolTip(UiText(messages::kTipStatic));
    m_ui->autoIpButton->setToolTip(UiText(messages::kTipAutoIp));
    m_ui->helpButton->setToolTip(UiText(messages::kTipHelp));
    m_ui->dhcpButton->setToolTip(UiText(messages::kTipDhcp));

    for (IpAddressEdit* edit : {m_ui->ipEdit, m_ui->maskEdit, m_ui->gatewayEdit, m_ui->dnsEdit}) {
        connect(edit, &IpAddressEdit::fieldChanged, this, &CLanscopeConfigDlg::onFieldChanged);
    }
    connect(m_ui->dhcpButton, &QPushButton::clicked, this, &CLanscopeConfigDlg::onDhcpClicked);
    connect(m_ui->staticButton, &QPushButton::clicked, this, &CLanscopeConfigDlg::onStaticClicked);
    connect(m_ui->autoIpButton, &QPushButton::clicked, this, &CLanscopeConfigDlg::onAutoIpClicked);
    connect(m_ui->helpButton, &QPushButton::clicked, this, &CLanscopeConfigDlg::onHelpClicked);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CLanscopeConfigDlg::onHelpClicked);

    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CLanscopeConfigDlg::updateAutoIpButton);
}

CLanscopeConfigDlg::~CLanscopeConfigDlg() = default;

void CLanscopeConfigDlg::SetModule(ConfigurationSender& socket, ModuleRecord& record) {
    m_socket = &socket;
    m_record = &record;
    m_loaded = LoadedSettings(record);
    m_ui->macValue->setText(QString::fromStdString(FormatMacPlain(record.mac())));
}

void CLanscopeConfigDlg::recordTo(HistorySink* history, HistoryModule module) {
    m_history = history;
    m_module = std::move(module);
}

void CLanscopeConfigDlg::tellHistoryFailure() {
    if (m_history == nullptr) {
        return;
    }
    if (const auto failure = m_history->takeFailure()) {
        m_prompt.message(messages::HistoryNotWrittenText(failure->text),
                         QApplication::applicationName().toStdString(), PromptIcon::Exclamation);
    }
}

void CLanscopeConfigDlg::showEvent(QShowEvent* event) {
    if (!m_opened) {
        m_opened = true;
        m_ui->ipEdit->setValue(m_loaded.address);
        m_ui->maskEdit->setValue(m_loaded.mask);
        m_ui->gatewayEdit->setValue(m_loaded.gateway);
        m_ui->dnsEdit->setValue(m_loaded.dns);
        m_timer.start();
        updateAutoIpButton();
        m_ui->dhcpButton->setEnabled(m_loaded.address != 0);
        m_ui->staticButton->setEnabled(false);
    }
    QDialog::showEvent(event);
}

void CLanscopeConfigDlg::updateAutoIpButton() {
    m_ui->autoIpButton->setEnabled(m_parentList != nullptr && m_parentList->size() == 1);
}

NetworkSettings CLanscopeConfigDlg::shownSettings() const {
    return {m_ui->ipEdit->value(), m_ui->maskEdit->value(), m_ui->gatewayEdit->value(),
            m_ui->dnsEdit->value()};
}

void CLanscopeConfigDlg::onFieldChanged() {
    m_ui->staticButton->setEnabled(shownSettings() != m_loaded);
}

void CLanscopeConfigDlg::writeSettings(const NetworkSettings& settings) {
    if (m_socket == nullptr || m_record == nullptr) {
        return;
    }
    HistoryRecordingSender sender(*m_socket, m_history, m_module, *m_record);
    WriteSettings(*m_record, settings, sender);
    tellHistoryFailure();
}

void CLanscopeConfigDlg::onDhcpClicked() {
    m_ui->ipEdit->setValue(0);
    writeSettings(shownSettings());
    accept();
}

// Whether the address may go out: no other listed module has it, or the
// user wants it sent all the same.
bool CLanscopeConfigDlg::mayTakeAddress(Ipv4 address) {
    // 0.0.0.0 is DHCP, which many modules share.
    if (m_parentList == nullptr || m_record == nullptr || address == 0) {
        return true;
    }
    const ModuleList& list = *m_parentList;
    // A record that is no line of the list is checked against every line.
    const std::size_t row = list.rowOf(*m_record).value_or(list.size());
    const auto other = OtherModuleAt(list, row, address);
    // Another line of this very module (its settings before a change) is no
    // other module.
    if (!other || list.record(*other).mac() == m_record->mac()) {
        return true;
    }
    std::string holder = FormatMacPlain(list.record(*other).mac());
    if (const std::string name = list.fields(*other).name; !name.empty()) {
        holder += " (" + name + ")";
    }
    return m_prompt.askYesNo(messages::AddressTakenQuestion(FormatIpv4(address), holder),
                             messages::kStaticCaption, false);
}

void CLanscopeConfigDlg::onStaticClicked() {
    const NetworkSettings shown = shownSettings();
    if (!mayTakeAddress(shown.address)) {
        return;
    }
    if (!m_prompt.askYesNo(messages::kStaticQuestion, messages::kStaticCaption, false)) {
        return;
    }
    writeSettings(shown);
    accept();
}

void CLanscopeConfigDlg::onAutoIpClicked() {
    AutoIpUpdate(false);
    accept();
}

bool CLanscopeConfigDlg::AutoIpUpdate(bool connectedDirectly) {
    if (m_socket == nullptr || m_record == nullptr) {
        return false;
    }
    HistoryRecordingSender sender(*m_socket, m_history, m_module, *m_record);
    const bool sent =
        lanscope::AutoIpUpdate(*m_record, m_hostAddresses(), m_prompt, sender, connectedDirectly);
    tellHistoryFailure();
    return sent;
}

void CLanscopeConfigDlg::onHelpClicked() {
    ShowHelp(this, messages::kConfigHelp);
}

}  // namespace lanscope
