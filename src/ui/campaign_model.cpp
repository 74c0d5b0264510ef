#include "ui/campaign_model.h"

#include <QBrush>
#include <QColor>

namespace zorvan::ui {

namespace {
// internalId of the root row; contact rows carry 1 (their parent is the root).
constexpr quintptr kRootItem = 0;
constexpr quintptr kContactItem = 1;
}  // namespace

CampaignModel::CampaignModel(CampaignRows& rows, QObject* parent) : QAbstractItemModel(parent), rows_(rows) {}

QModelIndex CampaignModel::RootIndex() const {
    return rows_.hasRoot() ? createIndex(0, 0, kRootItem) : QModelIndex();
}

QModelIndex CampaignModel::IndexOf(std::int32_t id, int column) const {
    const auto at = rows_.IndexOf(id);
    if (!at) return {};
    return createIndex(static_cast<int>(*at), column, kContactItem);
}

std::int32_t CampaignModel::IdAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() != kContactItem) return 0;
    const auto row = static_cast<std::size_t>(index.row());
    return row < rows_.count() ? rows_.IdAt(row) : 0;
}

std::int32_t CampaignModel::InsertContact(const Contact& contact) {
    if (!rows_.hasRoot()) {
        beginInsertRows({}, 0, 0);
        const std::int32_t id = rows_.Insert(contact);
        endInsertRows();
        return id;
    }
    const int at = static_cast<int>(rows_.count());
    beginInsertRows(RootIndex(), at, at);
    const std::int32_t id = rows_.Insert(contact);
    endInsertRows();
    return id;
}

bool CampaignModel::RemoveContact(std::int32_t id) {
    const auto at = rows_.IndexOf(id);
    if (!at) return false;
    beginRemoveRows(RootIndex(), static_cast<int>(*at), static_cast<int>(*at));
    rows_.Remove(id);
    endRemoveRows();
    return true;
}

void CampaignModel::SetCell(std::int32_t id, int column, const std::string& text) {
    if (!rows_.SetCell(id, static_cast<std::size_t>(column), text)) return;
    const QModelIndex cell = IndexOf(id, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
}

void CampaignModel::RefreshContact(const Contact& contact) {
    if (!rows_.Refresh(contact)) return;
    emit dataChanged(IndexOf(contact.id, 0), IndexOf(contact.id, columnCount() - 1), {Qt::DisplayRole, Qt::EditRole});
}

void CampaignModel::Reset(const std::function<void()>& change) {
    beginResetModel();
    change();
    endResetModel();
}

QModelIndex CampaignModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= columnCount()) return {};
    if (!parent.isValid()) return row == 0 && rows_.hasRoot() ? createIndex(0, column, kRootItem) : QModelIndex();
    if (parent.internalId() != kRootItem || parent.column() != 0) return {};
    if (static_cast<std::size_t>(row) >= rows_.count()) return {};
    return createIndex(row, column, kContactItem);
}

QModelIndex CampaignModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() != kContactItem) return {};
    return RootIndex();
}

int CampaignModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return rows_.hasRoot() ? 1 : 0;
    if (parent.internalId() == kRootItem && parent.column() == 0) return static_cast<int>(rows_.count());
    return 0;
}

int CampaignModel::columnCount(const QModelIndex&) const { return static_cast<int>(rows_.columns().size()); }

QVariant CampaignModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const bool root = index.internalId() == kRootItem;
    const bool disposition = index.column() == rows_.columns().dispositionColumn();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole: {
            if (root) return index.column() == 0 ? QString::fromUtf8(CampaignRows::kRootText) : QString();
            const auto row = static_cast<std::size_t>(index.row());
            if (row >= rows_.count()) return {};
            const auto& cells = rows_.CellsAt(row);
            const auto column = static_cast<std::size_t>(index.column());
            return column < cells.size() ? QString::fromStdString(cells[column]) : QString();
        }
        case Qt::BackgroundRole:
            if (!root && disposition) return QBrush(QColor(239, 228, 176));
            return {};
        case Qt::ForegroundRole:
            if (!root && disposition) return QBrush(QColor(0, 0, 192));
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

bool CampaignModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const std::int32_t id = IdAt(index);
    if (role != Qt::EditRole || id == 0) return false;
    const std::string text = value.toString().toStdString();
    const auto* cells = rows_.CellsOf(id);
    if (cells == nullptr) return false;
    if (static_cast<std::size_t>(index.column()) < cells->size() &&
        (*cells)[static_cast<std::size_t>(index.column())] == text) {
        return true;  // nothing changed
    }
    rows_.SetCell(id, static_cast<std::size_t>(index.column()), text);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    if (edited_) edited_(id);
    return true;
}

Qt::ItemFlags CampaignModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.internalId() == kContactItem ? base | Qt::ItemIsEditable : base;
}

QVariant CampaignModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= columnCount()) return {};
    return QString::fromStdString(rows_.columns().at(static_cast<std::size_t>(section)).heading);
}

}  // namespace zorvan::ui
