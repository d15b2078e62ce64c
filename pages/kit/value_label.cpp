#include "pages/kit/value_label.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace pages {
namespace {

// Name: the caption. Value and text: what the label shows. Description: the value too unless
// the page gave one, since screen readers speak the name and the description of static text.
class ValueLabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ValueLabelAccessible(QWidget* widget)
      : QAccessibleWidget(widget, QAccessible::StaticText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    switch (kind) {
      case QAccessible::Value:
        return Shown();
      case QAccessible::Description: {
        const QString given = widget()->accessibleDescription();
        return given.isEmpty() ? Shown() : given;
      }
      default:
        return QAccessibleWidget::text(kind);
    }
  }

  // The text interface over the shown text: no selection, no caret.
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override {
    const QString shown = Shown();
    if (end < 0 || end > shown.size()) end = static_cast<int>(shown.size());
    return start < 0 || start >= end ? QString() : shown.mid(start, end - start);
  }
  int characterCount() const override { return static_cast<int>(Shown().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

 private:
  QString Shown() const { return static_cast<const QLabel*>(widget())->text(); }
};

QAccessibleInterface* ValueLabelFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(ValueLabel::staticMetaObject.className()) &&
      object->isWidgetType()) {
    return new ValueLabelAccessible(static_cast<QWidget*>(object));
  }
  return nullptr;
}

}  // namespace

void InstallValueLabelAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(ValueLabelFactory);
    return true;
  }();
  (void)installed;
}

ValueLabel::ValueLabel(const QString& caption, const QString& name, QWidget* parent,
                       const QString& text)
    : QLabel(text, parent) {
  InstallValueLabelAccessibility();
  setObjectName(name);
  setAccessibleName(caption);
  setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void ValueLabel::setText(const QString& text) {
  const QString before = QLabel::text();
  if (before == text) return;
  QLabel::setText(text);
  if (QAccessible::isActive()) {
    QAccessibleTextUpdateEvent update(this, 0, before, text);
    QAccessible::updateAccessibility(&update);
    QAccessibleEvent described(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
  }
}

}  // namespace pages
