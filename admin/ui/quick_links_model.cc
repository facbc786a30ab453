#include "admin/ui/quick_links_model.h"

namespace tellwen::admin {
namespace {

const char* const kHeaders[] = {"id", "word", "display", "link"};

}  // namespace

QuickLinksModel::QuickLinksModel(SqlSession& sql, QObject* parent)
    : QAbstractTableModel(parent), table_(sql) {}

Status QuickLinksModel::Reload() {
  beginResetModel();
  Status status = table_.Load();
  endResetModel();
  return status;
}

int QuickLinksModel::AddRow() {
  const int row = static_cast<int>(table_.rows().size());
  beginInsertRows(QModelIndex(), row, row);
  table_.AddRow();
  endInsertRows();
  return row;
}

Status QuickLinksModel::CommitRow(int row) {
  if (row < 0 || row >= rowCount()) return Status::Ok();
  Status status = table_.CommitRow(static_cast<size_t>(row));
  emit dataChanged(index(row, 0), index(row, 0));  // the id of a new row
  return status;
}

Status QuickLinksModel::RemoveRow(int row) {
  if (row < 0 || row >= rowCount()) return Status::Ok();
  // The row leaves the model only once the database has let it go.
  Status status = table_.DeleteStored(static_cast<size_t>(row));
  if (!status.ok()) return status;
  beginRemoveRows(QModelIndex(), row, row);
  table_.Forget(static_cast<size_t>(row));
  endRemoveRows();
  return status;
}

bool QuickLinksModel::RowChanged(int row) const {
  return row >= 0 && row < rowCount() && table_.rows()[static_cast<size_t>(row)].changed;
}

int QuickLinksModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(table_.rows().size());
}

int QuickLinksModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 4;
}

QVariant QuickLinksModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  const QuickLink& row = table_.rows()[static_cast<size_t>(index.row())];
  const std::string* fields[] = {&row.id, &row.word, &row.display, &row.link};
  return QString::fromStdString(*fields[index.column()]);
}

bool QuickLinksModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() == 0) return false;
  table_.Edit(static_cast<size_t>(index.row()), index.column() - 1, value.toString().toStdString());
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

QVariant QuickLinksModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal && section >= 0 && section < 4) return kHeaders[section];
  if (orientation == Qt::Vertical) return section + 1;
  return {};
}

Qt::ItemFlags QuickLinksModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() != 0) flags |= Qt::ItemIsEditable;
  return flags;
}

}  // namespace tellwen::admin
