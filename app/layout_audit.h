#pragma once
// What a person sees at first sight of a window: texts cut short and controls on top of each
// other. Checks every visible label, button, check box, radio, group title, tab caption, column
// header, list cell in view and chart text against the room its widget gives it, and every two
// visible sibling controls for overlap. The scripted screenshot run reports what it finds.
#include <QList>
#include <QString>

class QWidget;

namespace app {

struct LayoutFinding {
  QString where;    // object name (or class) path below the audited widget
  QString text;     // the text concerned
  QString problem;  // "needs 120 px, has 96", "overlaps addressField", ...
};

QList<LayoutFinding> AuditLayout(QWidget* root);

QString Describe(const LayoutFinding& finding);

}  // namespace app
