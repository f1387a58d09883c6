#include "history/HistoryDlg.h"

#include <algorithm>

#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QTreeWidgetItem>

#include "common/AtomicFile.h"
#include "history/HistoryFile.h"
#include "history/Messages.h"
#include "history/ModuleHistory.h"
#include "ui_HistoryDlg.h"
#include "widgets/EightBitText.h"

namespace lanscope {

namespace {

// The module as the list shows it, in one line.
std::string ModuleText(const HistoryModule& module) {
    std::string text = "[" + module.mac + "]";
    for (const std::string* part : {&module.address, &module.name, &module.name2}) {
        if (!part->empty()) {
            text += "  " + *part;
        }
    }
    return text;
}

}  // namespace

HistoryDlg::HistoryDlg(AppServices& services, const std::string& line, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::HistoryDlg>()), m_services(services) {
    m_ui->setupUi(this);
    setWindowTitle(UiText(messages::kHistoryTitle));

    QStringList header;
    for (const std::string& title : HistoryTableHeader()) {
        header << UiText(title);
    }
    m_ui->events->setHeaderLabels(header);
    m_ui->events->header()->setStretchLastSection(true);

    connect(m_ui->saveButton, &QPushButton::clicked, this, &HistoryDlg::onSaveClicked);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);

    const HistoryModule module = HistoryModuleOfLine(line);
    m_ui->moduleLabel->setText(UiText(messages::HistoryModuleText(ModuleText(module))));
    load(module.mac);
    showRows();
}

HistoryDlg::~HistoryDlg() = default;

void HistoryDlg::load(const std::string& mac) {
    const auto parsed = ParseMac(mac);
    if (!parsed) {
        return;
    }
    if (m_services.historyFile.empty()) {
        showNotice(messages::kHistoryNoFile);
        return;
    }
    HistoryFilter filter;
    filter.mac = *parsed;
    auto reading = ReadHistoryFile(m_services.historyFile, HistoryFilterKeep(filter));
    if (!reading) {
        showNotice(messages::HistoryUnreadableText(reading.error().text));
        return;
    }
    m_rows = ModuleHistoryRows(std::move(reading->events), *parsed);
    if (!reading->warnings.empty()) {
        showNotice(messages::HistorySkippedText(HistoryWarningsText(reading->warnings)));
    }
}

void HistoryDlg::showRows() {
    for (const HistoryRow& row : m_rows) {
        QStringList cells;
        for (const std::string& cell : HistoryTableRow(row)) {
            cells << UiText(cell);
        }
        auto* item = new QTreeWidgetItem(m_ui->events, cells);
        // The new settings are long: the whole text where the column cuts it.
        item->setToolTip(4, cells.value(4));
        // The message the user was shown, for the row under the pointer.
        if (!row.event.message.empty()) {
            item->setToolTip(3, UiText(row.event.message));
        }
    }
    // As wide as the columns need, so the new settings are read without
    // widening the window, but never wider than the screen.
    int needed = 2 * m_ui->events->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = 0; column < m_ui->events->columnCount(); ++column) {
        m_ui->events->resizeColumnToContents(column);
        needed += m_ui->events->header()->sectionSize(column);
    }
    const QMargins margins = layout()->contentsMargins();
    const int room = screen()->availableGeometry().width() * 9 / 10;
    resize(std::max(width(), std::min(needed + margins.left() + margins.right(), room)), height());
    if (m_rows.empty() && m_ui->noticeLabel->isHidden()) {
        showNotice(messages::kHistoryEmpty);
    }
    m_ui->saveButton->setEnabled(!m_rows.empty());
    if (!m_rows.empty()) {
        m_ui->events->setCurrentItem(m_ui->events->topLevelItem(0));
    }
}

void HistoryDlg::showNotice(const std::string& text) {
    m_ui->noticeLabel->setText(UiText(text));
    m_ui->noticeLabel->setVisible(true);
}

void HistoryDlg::onSaveClicked() {
    const auto path = m_services.files->chooseListFile();
    if (!path) {
        return;
    }
    const std::string text = IsJsonListFile(*path) ? HistoryJson(m_rows) : HistoryCsv(m_rows);
    if (auto written = WriteFileAtomically(*path, text); !written) {
        m_services.prompt.message(messages::HistoryNotSavedText(*path, written.error().text),
                                  QApplication::applicationName().toStdString(),
                                  PromptIcon::Exclamation);
    }
}

}  // namespace lanscope
