#include "widgets/ModuleListModel.h"

#include "common/Text.h"

namespace lanscope {

ModuleListModel::ModuleListModel(ModuleList& list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list) {
    m_list.setListener(this);
}

ModuleListModel::~ModuleListModel() {
    m_list.setListener(nullptr);
}

int ModuleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_list.size());
}

int ModuleListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QVariant ModuleListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::UserRole) {
        return QString::fromStdString(EightBitFieldsToUtf8(m_list.text(row), '\t'));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const ListFields& columns = m_list.fields(row);
    const std::string* texts[] = {&columns.mac, &columns.address, &columns.dhcp, &columns.name,
                                  &columns.name2};
    return QString::fromStdString(EightBitToUtf8(*texts[index.column()]));
}

QVariant ModuleListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size()) {
        return {};
    }
    return m_headers[section];
}

void ModuleListModel::lineAboutToBeInserted(std::size_t row) {
    beginInsertRows({}, static_cast<int>(row), static_cast<int>(row));
}

void ModuleListModel::lineInserted(std::size_t) {
    endInsertRows();
}

void ModuleListModel::lineAboutToBeRemoved(std::size_t row) {
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
}

void ModuleListModel::lineRemoved(std::size_t) {
    endRemoveRows();
}

void ModuleListModel::selectionChanged() {
    emit listSelectionChanged();
}

}  // namespace lanscope
