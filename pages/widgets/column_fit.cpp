#include "pages/widgets/column_fit.h"

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <algorithm>
#include <set>

namespace pages {
namespace {

QHeaderView* HeaderOf(QAbstractItemView* view) {
  if (auto* table = qobject_cast<QTableView*>(view)) return table->horizontalHeader();
  if (auto* tree = qobject_cast<QTreeView*>(view)) return tree->header();
  return nullptr;
}

// What a cell takes beyond its delegate's size hint: a table's grid line, the indentation of a
// decorated tree's first column.
int CellExtra(const QAbstractItemView* view, int column) {
  if (auto* table = qobject_cast<const QTableView*>(view)) return table->showGrid() ? 1 : 0;
  if (auto* tree = qobject_cast<const QTreeView*>(view)) {
    return column == 0 && tree->rootIsDecorated() ? tree->indentation() : 0;
  }
  return 0;
}

// Widths are chosen from what each column needs (`need`, never below `floor`, its header) and
// the room the viewport offers; returned in the order of `need`.
std::vector<int> Distribute(const std::vector<int>& floor, const std::vector<int>& need,
                            const std::vector<bool>& stretch, int room) {
  std::vector<int> widths = need;
  int total = 0;
  for (int w : need) total += w;
  if (total > room) {
    // Too narrow: the widest columns are cut to a common cap, none below its header.
    auto widthsAt = [&](int cap, std::vector<int>* out) {
      int sum = 0;
      for (size_t i = 0; i < need.size(); ++i) {
        const int w = std::max(floor[i], std::min(need[i], cap));
        if (out != nullptr) (*out)[i] = w;
        sum += w;
      }
      return sum;
    };
    int low = 0, high = *std::max_element(need.begin(), need.end());
    while (low < high) {
      const int mid = (low + high + 1) / 2;
      if (widthsAt(mid, nullptr) <= room) low = mid; else high = mid - 1;
    }
    int left = room - widthsAt(low, &widths);
    for (size_t i = 0; i < widths.size() && left > 0; ++i) {
      const int more = std::min(left, need[i] - widths[i]);
      if (more > 0) widths[i] += more, left -= more;
    }
    return widths;
  }
  int extra = room - total;
  std::vector<size_t> takers;
  for (size_t i = 0; i < need.size(); ++i) {
    if (stretch[i]) takers.push_back(i);
  }
  if (takers.empty()) {
    // Every column, in proportion to what it needs.
    for (size_t i = 0; i < need.size(); ++i) {
      const int share = total > 0 ? static_cast<int>(int64_t{room - total} * need[i] / total) : 0;
      widths[i] += share;
      extra -= share;
    }
    if (!widths.empty()) widths.back() += extra;
    return widths;
  }
  for (size_t k = 0; k < takers.size(); ++k) {
    const int share = extra / static_cast<int>(takers.size() - k);
    widths[takers[k]] += share;
    extra -= share;
  }
  return widths;
}

constexpr char kFitterName[] = "columnFitter";

class ColumnFitter : public QObject {
 public:
  ColumnFitter(QAbstractItemView* view, QHeaderView* header)
      : QObject(view), view_(view), header_(header) {
    setObjectName(kFitterName);
    header_->setStretchLastSection(false);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &ColumnFitter::Fit);

    QAbstractItemModel* model = view_->model();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
              if (parent == view_->rootIndex()) Measure(first, last, 0, Columns() - 1);
            });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
              if (from.parent() == view_->rootIndex()) {
                Measure(from.row(), to.row(), from.column(), to.column());
              }
            });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
      // The widths stay while rows go (a log drops its oldest), unless none is left.
      if (Alive() && view_->model()->rowCount(view_->rootIndex()) == 0) MeasureAll();
      Schedule();
    });
    connect(model, &QAbstractItemModel::modelReset, this, &ColumnFitter::MeasureAll);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnFitter::MeasureAll);
    connect(model, &QAbstractItemModel::columnsInserted, this, &ColumnFitter::MeasureAll);
    connect(model, &QAbstractItemModel::columnsRemoved, this, &ColumnFitter::MeasureAll);
    connect(model, &QAbstractItemModel::headerDataChanged, this, &ColumnFitter::Schedule);

    // A column the user drags keeps its width; a double click on its edge gives it back.
    connect(header_, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
      if (dragging_ && !applying_ && size > 0) userSized_.insert(logical);
    });
    connect(header_, &QHeaderView::sectionHandleDoubleClicked, this, [this](int logical) {
      userSized_.erase(logical);
      Schedule();
    });
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    header_->viewport()->installEventFilter(this);
    MeasureAll();
  }

  void SetFit(ColumnFit fit) {
    fit_ = std::move(fit);
    Schedule();
  }

  void Fit() {
    timer_.stop();
    if (!Alive() || !view_->isVisible()) return;  // laid out when it is shown
    std::vector<int> columns, floor, need;
    std::vector<bool> stretch;
    int room = view_->viewport()->width();
    for (int visual = 0; visual < header_->count(); ++visual) {
      const int logical = header_->logicalIndex(visual);
      if (header_->isSectionHidden(logical)) continue;
      if (userSized_.contains(logical)) {
        room -= header_->sectionSize(logical);
        continue;
      }
      columns.push_back(logical);
      floor.push_back(header_->sectionSizeHint(logical));
      const int cells = logical < static_cast<int>(cellMax_.size()) ? cellMax_[logical] : 0;
      need.push_back(std::max(floor.back(), cells));
      stretch.push_back(std::find(fit_.stretch.begin(), fit_.stretch.end(), logical) !=
                        fit_.stretch.end());
    }
    if (columns.empty()) return;
    const std::vector<int> widths = Distribute(floor, need, stretch, std::max(room, 0));
    applying_ = true;
    for (size_t i = 0; i < columns.size(); ++i) header_->resizeSection(columns[i], widths[i]);
    applying_ = false;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // While the view is being destroyed its parts go one by one: nothing of it may be asked then.
    if (!Alive()) return QObject::eventFilter(watched, event);
    if (watched == header_->viewport()) {
      if (event->type() == QEvent::MouseButtonPress) dragging_ = true;
      if (event->type() == QEvent::MouseButtonRelease) dragging_ = false;
    } else if (watched == view_) {
      if (event->type() == QEvent::Show) Fit();
      if (event->type() == QEvent::FontChange) MeasureAll();
    } else if (watched == view_->viewport()) {
      if (event->type() == QEvent::Resize) Fit();
      if (event->type() == QEvent::ToolTip) return ShowCutText(static_cast<QHelpEvent*>(event));
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  int Columns() const { return view_->model()->columnCount(view_->rootIndex()); }

  // False once the view is being destroyed: its model (deleted with it) still signals then.
  // While QWidget's destructor runs, the view is no item view any more.
  bool Alive() const {
    return qobject_cast<const QAbstractItemView*>(static_cast<const QObject*>(view_)) != nullptr;
  }

  void Measure(int firstRow, int lastRow, int firstColumn, int lastColumn) {
    if (!Alive()) return;
    if (static_cast<int>(cellMax_.size()) < Columns()) cellMax_.resize(static_cast<size_t>(Columns()), 0);
    const QAbstractItemModel* model = view_->model();
    for (int row = firstRow; row <= lastRow; ++row) {
      for (int column = std::max(firstColumn, 0); column <= lastColumn && column < Columns();
           ++column) {
        const QModelIndex index = model->index(row, column, view_->rootIndex());
        int& widest = cellMax_[static_cast<size_t>(column)];
        widest = std::max(widest, view_->sizeHintForIndex(index).width() + CellExtra(view_, column));
      }
    }
    Schedule();
  }

  void MeasureAll() {
    if (!Alive()) return;
    cellMax_.assign(static_cast<size_t>(Columns()), 0);
    Measure(0, view_->model()->rowCount(view_->rootIndex()) - 1, 0, Columns() - 1);
  }

  void Schedule() {
    if (!timer_.isActive()) timer_.start();
  }

  // A cell shown cut short gets its full text as a tooltip, unless it has a tooltip of its own.
  bool ShowCutText(QHelpEvent* event) {
    const QModelIndex index = view_->indexAt(event->pos());
    if (!index.isValid() || index.data(Qt::ToolTipRole).isValid()) return false;
    const QString text = CutCellText(view_, index);
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(event->globalPos(), text, view_->viewport(), view_->visualRect(index));
    }
    return true;
  }

  QAbstractItemView* view_;
  QHeaderView* header_;
  ColumnFit fit_;
  std::vector<int> cellMax_;  // widest cell per logical column
  std::set<int> userSized_;
  bool applying_ = false;
  bool dragging_ = false;
  QTimer timer_;
};

}  // namespace

void FitColumns(QAbstractItemView* view, ColumnFit fit) {
  QHeaderView* header = HeaderOf(view);
  if (header == nullptr || view->model() == nullptr) return;
  auto* fitter = dynamic_cast<ColumnFitter*>(
      view->findChild<QObject*>(kFitterName, Qt::FindDirectChildrenOnly));
  if (fitter == nullptr) fitter = new ColumnFitter(view, header);
  fitter->SetFit(std::move(fit));
}

QString CutCellText(const QAbstractItemView* view, const QModelIndex& index) {
  if (!index.isValid()) return {};
  const int shown = view->visualRect(index).width();
  if (view->sizeHintForIndex(index).width() <= shown) return {};
  return index.data(Qt::DisplayRole).toString();
}

}  // namespace pages
