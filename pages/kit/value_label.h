#pragma once
// A read-only label that shows a value ("300", "通讯正常", "1.00"): screen readers and desktop
// automation find it by its caption (the accessible name) and read the value through the
// accessibility tree's text interface and value, not only on the screen.
#include <QLabel>

namespace pages {

class ValueLabel : public QLabel {
  Q_OBJECT
 public:
  // `caption` is the accessible name, usually the text of the caption label beside it.
  ValueLabel(const QString& caption, const QString& name, QWidget* parent,
             const QString& text = {});

  // As QLabel's, and the accessibility tree learns of the new value.
  void setText(const QString& text);
  void clear() { setText(QString()); }
};

// Lets the accessibility framework build the interface of every ValueLabel (done once, by the
// first ValueLabel made).
void InstallValueLabelAccessibility();

}  // namespace pages
