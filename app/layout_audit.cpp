#include "app/layout_audit.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>

#include "pages/widgets/column_fit.h"

namespace app {
namespace {

QString Where(const QWidget* widget, const QWidget* root) {
  QStringList names;
  for (const QWidget* w = widget; w != nullptr && w != root; w = w->parentWidget()) {
    const QString name = w->objectName();
    if (w == widget && name.isEmpty()) {
      names.prepend(QString::fromLatin1(w->metaObject()->className()));
    } else if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) {
      names.prepend(name);
    }
  }
  return names.join('/');
}

// The text as drawn: "&&" is an ampersand, a single "&" marks the shortcut and takes no room.
QString Shown(QString text) {
  text.replace(QLatin1String("&&"), QString(QChar(1)));
  text.remove('&');
  text.replace(QChar(1), '&');
  return text.trimmed();
}

int TextWidth(const QFontMetrics& metrics, const QString& text) {
  int width = 0;
  for (const QString& line : text.split('\n')) width = std::max(width, metrics.horizontalAdvance(line));
  return width;
}

QString Needs(int needed, int room) { return QString("needs %1 px, has %2").arg(needed).arg(room); }

class Audit {
 public:
  explicit Audit(QWidget* root) : root_(root) {}

  QList<LayoutFinding> Run() {
    QList<QWidget*> widgets = root_->findChildren<QWidget*>();
    widgets.prepend(root_);
    for (QWidget* w : widgets) {
      if (!w->isVisible() || (w != root_ && w->window() != root_->window())) continue;
      if (auto* label = qobject_cast<QLabel*>(w)) CheckLabel(label);
      if (auto* button = qobject_cast<QAbstractButton*>(w)) CheckButton(button);
      if (auto* box = qobject_cast<QGroupBox*>(w)) CheckGroup(box);
      if (auto* bar = qobject_cast<QTabBar*>(w)) CheckTabs(bar);
      if (auto* header = qobject_cast<QHeaderView*>(w)) CheckHeader(header);
      if (auto* view = qobject_cast<QAbstractItemView*>(w); view && !qobject_cast<QHeaderView*>(w)) {
        CheckCells(view);
      }
      if (auto* graphics = qobject_cast<QGraphicsView*>(w)) CheckGraphics(graphics);
      CheckChildren(w);
    }
    return findings_;
  }

 private:
  void Add(const QWidget* w, const QString& text, const QString& problem) {
    findings_.append({Where(w, root_), text, problem});
  }

  void CheckLabel(QLabel* label) {
    QString text = label->text();
    if (text.isEmpty()) return;
    if (label->textFormat() == Qt::RichText ||
        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
      QTextDocument document;
      document.setHtml(text);
      text = document.toPlainText();
    }
    if (label->buddy() != nullptr) text = Shown(text);
    QRect room = label->contentsRect();
    const int margin = label->margin();
    room.adjust(margin, margin, -margin, -margin);
    if (label->indent() > 0) room.setWidth(room.width() - label->indent());
    if (label->wordWrap()) {
      const int needed = label->heightForWidth(label->width());
      if (needed > label->height()) Add(label, text, "height " + Needs(needed, label->height()));
      return;
    }
    const QFontMetrics metrics = label->fontMetrics();
    const int width = TextWidth(metrics, text);
    if (width > room.width()) Add(label, text, Needs(width, room.width()));
    const int height = metrics.height() * static_cast<int>(text.count('\n') + 1);
    if (height > room.height()) Add(label, text, "height " + Needs(height, room.height()));
  }

  void CheckButton(QAbstractButton* button) {
    const QString text = Shown(button->text());
    if (text.isEmpty()) return;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QRect room;
    QStyle* style = button->style();
    if (qobject_cast<QCheckBox*>(button)) {
      room = style->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
    } else if (qobject_cast<QRadioButton*>(button)) {
      room = style->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
    } else if (auto* push = qobject_cast<QPushButton*>(button)) {
      if (push->isFlat()) option.features |= QStyleOptionButton::Flat;
      if (push->isDefault()) option.features |= QStyleOptionButton::DefaultButton;
      room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
      if (!button->icon().isNull()) room.setWidth(room.width() - button->iconSize().width() - 4);
    } else {
      const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
      room = button->rect().adjusted(frame, frame, -frame, -frame);
    }
    const QFontMetrics metrics = button->fontMetrics();
    const int width = TextWidth(metrics, text);
    if (width > room.width()) Add(button, text, Needs(width, room.width()));
    if (metrics.height() > room.height()) Add(button, text, "height " + Needs(metrics.height(), room.height()));
  }

  void CheckGroup(QGroupBox* box) {
    if (box->title().isEmpty()) return;
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable()) option.subControls |= QStyle::SC_GroupBoxCheckBox;
    if (box->isFlat()) option.features |= QStyleOptionFrame::Flat;
    const QRect label =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const int room = box->rect().right() - label.left() + 1;
    if (label.width() > room) Add(box, Shown(box->title()), Needs(label.width(), room));
  }

  void CheckTabs(QTabBar* bar) {
    const QFontMetrics metrics(bar->font());
    for (int i = 0; i < bar->count(); ++i) {
      if (!bar->isTabVisible(i)) continue;
      QStyleOptionTab option;
      option.initFrom(bar);
      option.shape = bar->shape();
      option.text = bar->tabText(i);
      option.rect = bar->tabRect(i);
      option.icon = bar->tabIcon(i);
      option.iconSize = bar->iconSize();
      option.documentMode = bar->documentMode();
      const QRect room = bar->style()->subElementRect(QStyle::SE_TabBarTabText, &option, bar);
      const QString text = Shown(bar->tabText(i));
      const int width = metrics.horizontalAdvance(text);
      if (width > room.width()) Add(bar, text, "tab caption " + Needs(width, room.width()));
      if (!bar->rect().contains(bar->tabRect(i))) Add(bar, text, "tab outside the tab bar");
    }
    for (QToolButton* scroll : bar->findChildren<QToolButton*>()) {
      if (scroll->isVisible()) {
        Add(bar, QString(), "tabs do not fit: scroll buttons shown");
        break;
      }
    }
  }

  void CheckHeader(QHeaderView* header) {
    if (header->orientation() != Qt::Horizontal || header->model() == nullptr) return;
    const int shown = header->viewport()->width();
    for (int logical = 0; logical < header->count(); ++logical) {
      if (header->isSectionHidden(logical)) continue;
      const QString text = header->model()->headerData(logical, Qt::Horizontal).toString();
      const int size = header->sectionSize(logical);
      const int hint = header->sectionSizeHint(logical);
      if (size < hint) Add(header, text, "column header " + Needs(hint, size));
      const int left = header->sectionViewportPosition(logical);
      if (left < shown && left + size > shown) {
        Add(header, text, "column cut at the list's edge " + Needs(size, shown - left));
      } else if (left >= shown) {
        Add(header, text, "column out of view");
      }
    }
  }

  void CheckCells(QAbstractItemView* view) {
    const QAbstractItemModel* model = view->model();
    if (model == nullptr) return;
    const QRect viewport = view->viewport()->rect();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
      for (int column = 0; column < model->columnCount(root); ++column) {
        const QModelIndex index = model->index(row, column, root);
        const QRect cell = view->visualRect(index);
        if (cell.isEmpty() || !viewport.intersects(cell)) continue;
        const QString full = pages::CutCellText(view, index);
        if (!full.isEmpty()) {
          Add(view, full, QString("cell (%1, %2) cut: ").arg(row).arg(column) +
                              Needs(view->sizeHintForIndex(index).width(), cell.width()));
        }
      }
    }
  }

  void CheckGraphics(QGraphicsView* graphics) {
    if (graphics->scene() == nullptr) return;
    for (QGraphicsItem* item : graphics->scene()->items()) {
      if (!item->isVisible()) continue;
      QString text;
      if (auto* rich = qgraphicsitem_cast<QGraphicsTextItem*>(item)) text = rich->toPlainText();
      if (auto* simple = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(item)) text = simple->text();
      if (text.endsWith(QLatin1String("...")) || text.endsWith(QChar(0x2026))) {
        Add(graphics, text, "chart text cut");
      }
    }
  }

  static bool IsControl(const QWidget* w) {
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QGroupBox*>(w) ||
           qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QProgressBar*>(w);
  }

  // Composite widgets place their own parts (scroll bars, viewports, arrows); their children
  // are theirs to lay out.
  static bool Composite(const QWidget* w) {
    return qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QTabBar*>(w) ||
           qobject_cast<const QAbstractScrollArea*>(w->parentWidget());
  }

  void CheckChildren(QWidget* parent) {
    if (Composite(parent)) return;
    QList<QWidget*> children;
    for (QObject* object : parent->children()) {
      auto* child = qobject_cast<QWidget*>(object);
      if (child == nullptr || child->isWindow() || !child->isVisible()) continue;
      if (!parent->rect().contains(child->geometry())) {
        Add(child, QString(), QString("outside its parent %1: %2x%3+%4+%5 in %6x%7")
                                  .arg(Where(parent, root_))
                                  .arg(child->width()).arg(child->height())
                                  .arg(child->x()).arg(child->y())
                                  .arg(parent->width()).arg(parent->height()));
      }
      if (IsControl(child)) children.append(child);
    }
    for (qsizetype i = 0; i < children.size(); ++i) {
      for (qsizetype j = i + 1; j < children.size(); ++j) {
        if (children[i]->geometry().intersects(children[j]->geometry())) {
          Add(children[i], QString(), "overlaps " + Where(children[j], root_));
        }
      }
    }
  }

  QWidget* root_;
  QList<LayoutFinding> findings_;
};

}  // namespace

QList<LayoutFinding> AuditLayout(QWidget* root) { return Audit(root).Run(); }

QString Describe(const LayoutFinding& finding) {
  QString text = finding.where;
  if (!finding.text.isEmpty()) text += " \"" + finding.text + "\"";
  return text + ": " + finding.problem;
}

}  // namespace app
