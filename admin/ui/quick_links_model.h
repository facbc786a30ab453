// QuickLinksModel: an editable table model over the rows of quick_links
// (admin/core/quick_links_table.h). Columns: id (read-only, hidden by the
// editor), word, display, link. Edits stay in the row until CommitRow.
//
// Thread safety: the window thread only.
#pragma once

#include <QAbstractTableModel>

#include "admin/core/quick_links_table.h"

namespace tellwen::admin {

class QuickLinksModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit QuickLinksModel(SqlSession& sql, QObject* parent = nullptr);

  Status Reload();
  // Appends an empty row; its index.
  int AddRow();
  Status CommitRow(int row);
  Status RemoveRow(int row);
  // Whether row has edits not yet written.
  bool RowChanged(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  QuickLinksTable table_;
};

}  // namespace tellwen::admin
