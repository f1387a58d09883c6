#include "widgets/ModuleListView.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <algorithm>
#include <cstdint>

#include "common/Text.h"
#include "widgets/ModuleListModel.h"

namespace lanscope {

namespace {

constexpr std::size_t kToolTipLimit = 79;
// A fit lays out the text of up to a thousand lines; while a flood of replies
// arrives, doing that per line starves the socket and replies are lost.
constexpr int kFitIntervalMs = 100;

}  // namespace

ModuleListView::ModuleListView(QTreeView& view, ModuleList& list,
                               std::function<std::string(std::string_view)> lineTip,
                               QString areaTip, QObject* parent)
    : QObject(parent),
      m_view(view),
      m_list(list),
      m_model(new ModuleListModel(list, this)),
      m_lineTip(std::move(lineTip)),
      m_areaTip(std::move(areaTip)),
      m_fitTimer(new QTimer(this)) {
    m_fitTimer->setSingleShot(true);
    connect(m_fitTimer, &QTimer::timeout, this, &ModuleListView::fitNameColumns);
    m_sinceFit.start();
    // The stretched last column never gets narrower than its first width:
    // keep that small, so the first name can take what the second leaves.
    m_view.header()->setDefaultSectionSize(4 * m_view.fontMetrics().averageCharWidth());
    m_view.setModel(m_model);
    m_view.header()->setStretchLastSection(true);
    m_view.header()->setSectionsMovable(false);
    // Columns wide enough for what they hold; the names take the rest.
    const QFontMetrics metrics = m_view.fontMetrics();
    const int padding = 3 * metrics.averageCharWidth();
    m_view.setColumnWidth(
        0, metrics.horizontalAdvance(QStringLiteral("[0a-1B-2C-3D-4E-5F]")) + padding);
    m_view.setColumnWidth(1,
                          metrics.horizontalAdvance(QStringLiteral("255.255.255.255")) + padding);
    m_view.setColumnWidth(2, metrics.horizontalAdvance(QStringLiteral("DHCP")) + padding);
    m_nameMinimum = 70 * metrics.averageCharWidth() / 4 + padding;
    m_view.setColumnWidth(3, m_nameMinimum);
    m_view.viewport()->installEventFilter(this);
    for (const auto signal :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(m_model, signal, this, &ModuleListView::requestFit);
    }
    connect(m_model, &QAbstractItemModel::dataChanged, this, &ModuleListView::requestFit);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ModuleListView::requestFit);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        m_hadLines = true;
        if (m_hint != nullptr) {
            m_hint->hide();
        }
    });
    connect(m_model, &ModuleListModel::listSelectionChanged, this,
            &ModuleListView::syncViewSelection);
    connect(m_view.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ModuleListView::onViewSelectionChanged);
    connect(&m_view, &QTreeView::doubleClicked, this, &ModuleListView::lineActivated);
}

ModuleListView::~ModuleListView() {
    // The view may outlive this object while its window is torn down; it must
    // not ask a model over a list that is gone.
    m_view.viewport()->removeEventFilter(this);
    m_view.setModel(nullptr);
}

void ModuleListView::syncViewSelection() {
    if (m_syncing) {
        return;
    }
    m_syncing = true;
    auto* selection = m_view.selectionModel();
    if (const auto row = m_list.selection()) {
        const QModelIndex index = m_model->index(static_cast<int>(*row), 0);
        selection->setCurrentIndex(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selection->clearSelection();
    }
    m_syncing = false;
}

void ModuleListView::onViewSelectionChanged() {
    if (m_syncing) {
        return;
    }
    m_syncing = true;
    const QModelIndexList rows = m_view.selectionModel()->selectedRows();
    m_list.setSelection(rows.isEmpty() ? std::nullopt
                                       : std::optional<std::size_t>(rows.first().row()));
    m_syncing = false;
}

void ModuleListView::showEmptyHint(const QString& text) {
    if (m_hadLines || m_list.size() != 0) {
        return;
    }
    if (m_hint == nullptr) {
        m_hint = new QLabel(m_view.viewport());
        m_hint->setObjectName(QStringLiteral("emptyHint"));
        m_hint->setAlignment(Qt::AlignCenter);
        m_hint->setWordWrap(true);
        // Mouse and tips go to the view, as if the text were not there.
        m_hint->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_hint->setForegroundRole(QPalette::PlaceholderText);
        m_hint->setGeometry(m_view.viewport()->rect().adjusted(12, 0, -12, 0));
    }
    m_hint->setText(text);
    m_hint->show();
}

void ModuleListView::requestFit() {
    if (m_fitTimer->isActive()) {
        return;
    }
    // The first change after a quiet spell is fitted on the next turn of the
    // event loop; a burst gets at most one fit per interval.
    const qint64 wait = kFitIntervalMs - m_sinceFit.elapsed();
    m_fitTimer->start(static_cast<int>(std::max<qint64>(wait, 0)));
}

void ModuleListView::fitNameColumns() {
    m_sinceFit.restart();
    // The first name gets the width it needs while the second keeps room for
    // its own; when both do not fit they share the room by what they need.
    const int room = m_view.viewport()->width() - m_view.columnWidth(0) - m_view.columnWidth(1) -
                     m_view.columnWidth(2);
    const QAbstractItemView& view = m_view;                   // where the size hints are public
    const int gap = m_view.fontMetrics().averageCharWidth();  // between a name and the next
    const int first = std::max(view.sizeHintForColumn(3) + gap, m_nameMinimum);
    const int second = std::max(view.sizeHintForColumn(4), 1);
    int width = first;
    if (first + second > room) {
        width = std::clamp(static_cast<int>(std::int64_t{room} * first / (first + second)),
                           m_nameMinimum, first);
    }
    if (width != m_view.columnWidth(3)) {
        m_view.setColumnWidth(3, width);
    }
}

bool ModuleListView::emptyHintShown() const {
    return m_hint != nullptr && m_hint->isVisible();
}

bool ModuleListView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view.viewport() && event->type() == QEvent::Resize) {
        if (m_hint != nullptr) {
            m_hint->setGeometry(m_view.viewport()->rect().adjusted(12, 0, -12, 0));
        }
        requestFit();
    }
    if (watched == m_view.viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = m_view.indexAt(help->pos());
        QString tip = m_areaTip;
        if (index.isValid()) {
            const std::string text = m_lineTip(m_list.text(static_cast<std::size_t>(index.row())));
            tip = QString::fromStdString(CutCharacters(EightBitToUtf8(text), kToolTipLimit));
            // A module's name is shown as it is, never read as markup.
            if (Qt::mightBeRichText(tip)) {
                tip = Qt::convertFromPlainText(tip, Qt::WhiteSpaceNormal);
            }
        }
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, m_view.viewport());
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace lanscope
