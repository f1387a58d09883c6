#pragma once

#include <QAbstractTableModel>

#include "discovery/ModuleList.h"

namespace lanscope {

// Shows a module list as five columns: hardware address, address, DHCP mark
// and the two names. Rows follow the list's own sorted order.
class ModuleListModel : public QAbstractTableModel, private ModuleListListener {
    Q_OBJECT

  public:
    explicit ModuleListModel(ModuleList& list, QObject* parent = nullptr);
    ~ModuleListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The five column captions (the windows label them differently).
    void setHeaders(const QStringList& headers) { m_headers = headers; }

  signals:
    // The list's selected line changed (for instance the first line of an
    // empty list was selected by a reply).
    void listSelectionChanged();

  private:
    QStringList m_headers{QStringLiteral("MAC"), QStringLiteral("IP"), QStringLiteral("DHCP"),
                          QStringLiteral("Device Name"), QStringLiteral("Device Name")};
    void lineAboutToBeInserted(std::size_t row) override;
    void lineInserted(std::size_t row) override;
    void lineAboutToBeRemoved(std::size_t row) override;
    void lineRemoved(std::size_t row) override;
    void selectionChanged() override;

    ModuleList& m_list;
};

}  // namespace lanscope
