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

// On a page that keeps a profile: "保存配置" into the folder, "载入配置" of that file, and a
// screenshot of the page showing it. False when the screenshot could not be written.
bool ShowLoadedProfile(MainWindow& window, const QDir& dir, int index,
                       ui::ScriptedPrompts& prompts, DemoShots& shots) {
  auto* save = window.findChild<QPushButton*>("profileSave");
  if (save == nullptr || !save->isEnabled()) return true;
  const QString caption = window.Tabs()->tabText(index);
  const QString profile = dir.filePath(FileName(index, caption).replace(".png", ".json"));
  prompts.fileNames = {profile};
  Click(&window, "profileSave");
  prompts.fileNames = {profile};
  Click(&window, "profileLoad");
  prompts.fileNames.clear();
  shots.profileFiles << profile;
  const QString path = dir.filePath(FileName(index, caption + "-配置已载入"));
  if (!window.grab().save(path, "PNG")) {
    shots.error = "cannot write " + path;
    return false;
  }
  shots.profileFiles << path;
  for (const LayoutFinding& finding : AuditLayout(&window)) {
    shots.findings << caption + " (配置已载入): " + Describe(finding);
  }
  return true;
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
    if (shots.profileFiles.isEmpty() && !ShowLoadedProfile(window, dir, i, prompts, shots)) break;
  }
  shots.messages = prompts.Messages();
  ui::InstallPrompts(nullptr);
  return shots;
}

}  // namespace app
