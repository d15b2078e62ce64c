#include "app/demo_shots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>

#include "app/layout_audit.h"
#include "app/main_window.h"
#include "ui/prompts.h"

namespace app {
namespace {

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// Clicks the visible enabled button of that name or caption inside `root`; false if none.
bool Click(QWidget* root, const QString& objectName, const QString& caption = {}) {
  for (QPushButton* button : root->findChildren<QPushButton*>()) {
    const bool named = !objectName.isEmpty() && button->objectName() == objectName;
    const bool captioned = !caption.isEmpty() && button->text() == caption;
    if ((named || captioned) && button->isVisible() && button->isEnabled()) {
      button->click();
      Settle();
      return true;
    }
  }
  return false;
}

QString FileName(int index, const QString& caption) {
  return QString("%1-%2.png").arg(index + 1, 2, 10, QChar('0')).arg(caption);
}

}  // namespace

DemoShots RunDemoShots(MainWindow& window, const QString& directory) {
  DemoShots shots;
  QDir dir(directory);
  if (!dir.mkpath(".")) {
    shots.error = "cannot make the folder " + directory;
    return shots;
  }
  // Messages are collected instead of waiting for someone to close a box.
  ui::ScriptedPrompts prompts;
  ui::InstallPrompts(&prompts);

  window.show();
  Settle();
  window.OpenSelectedPort();
  Click(&window, "versionRead");

  QTabWidget* tabs = window.Tabs();
  bool clockRead = false;
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    Settle();
    if (!clockRead) clockRead = Click(tabs->widget(i), {}, "读时间");
    const QString path = dir.filePath(FileName(i, tabs->tabText(i)));
    if (!window.grab().save(path, "PNG")) {
      shots.error = "cannot write " + path;
      break;
    }
    shots.files << path;
    for (const LayoutFinding& finding : AuditLayout(&window)) {
      shots.findings << tabs->tabText(i) + ": " + Describe(finding);
    }
  }
  shots.messages = prompts.Messages();
  ui::InstallPrompts(nullptr);
  return shots;
}

}  // namespace app
