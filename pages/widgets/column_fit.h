#pragma once
// Column layout for every list of the program (tables and tree lists). The columns are laid out
// when the list is first shown, whenever rows arrive or change and when the list is resized:
// each column is at least as wide as its header and its widest cell, and the width left over
// goes to the stretch columns (or to every column, in proportion to what it needs). Only when
// the list is really too narrow are the widest columns cut, never below their header; a cell
// cut short shows its full text in a tooltip. A column the user has resized keeps its width.
#include <QAbstractItemView>
#include <QString>
#include <vector>

namespace pages {

struct ColumnFit {
  // Logical columns that take the width left over; empty: every visible column, in proportion
  // to the width it needs.
  std::vector<int> stretch;
};

// Lays out the columns of `view` (a QTableView or a QTreeView) from now on. Calling it again
// for the same view replaces its settings.
void FitColumns(QAbstractItemView* view, ColumnFit fit = {});

// The full text of the cell at `index` when the cell shows it cut short; empty otherwise.
QString CutCellText(const QAbstractItemView* view, const QModelIndex& index);

}  // namespace pages
