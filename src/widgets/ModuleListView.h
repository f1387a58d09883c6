#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <string>
#include <string_view>

#include "discovery/ModuleList.h"

class QLabel;
class QTimer;
class QTreeView;

namespace lanscope {

class ModuleListModel;

// Shows a module list in a tree view the way every window shows it: five
// columns sized to what they hold, the list's selection and the view's kept
// in step, and a tool tip per line. The window keeps its view and list.
class ModuleListView : public QObject {
    Q_OBJECT

  public:
    // `lineTip` gives a line's tip text (bytes as the module sent them; cut to
    // 79 characters here, empty: no tip); `areaTip` shows below the lines.
    ModuleListView(QTreeView& view, ModuleList& list,
                   std::function<std::string(std::string_view line)> lineTip, QString areaTip,
                   QObject* parent = nullptr);
    ~ModuleListView() override;

    ModuleListModel& model() { return *m_model; }

    // A grey text in the middle of the empty view, below any line: never
    // selectable, never counted, no tip of its own. It shows only while the
    // list is empty and no line has ever come; the first line ends it.
    void showEmptyHint(const QString& text);
    bool emptyHintShown() const;

  signals:
    // A double click on a line.
    void lineActivated();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void syncViewSelection();
    void onViewSelectionChanged();
    void requestFit();
    void fitNameColumns();

    QTreeView& m_view;
    ModuleList& m_list;
    ModuleListModel* m_model;
    std::function<std::string(std::string_view)> m_lineTip;
    QString m_areaTip;
    bool m_syncing = false;
    bool m_hadLines = false;
    QLabel* m_hint = nullptr;
    int m_nameMinimum = 0;
    QTimer* m_fitTimer;
    QElapsedTimer m_sinceFit;
};

}  // namespace lanscope
