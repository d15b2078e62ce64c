#include "ui/prompts.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <algorithm>

namespace ui {
namespace {

QString CaptionOrDefault(const QString& caption) {
  if (!caption.isEmpty()) return caption;
  // The program sets its name at start-up; without a display name of its own, Qt uses that name
  // (or else the executable's).
  return QGuiApplication::applicationDisplayName();
}

QMessageBox::Icon IconFor(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Error:
      return QMessageBox::Critical;
    case MessageKind::Question:
      return QMessageBox::Question;
    case MessageKind::Information:
      break;
  }
  return QMessageBox::Information;
}

// The real dialogs.
class DialogPrompts : public Prompts {
 public:
  void Message(QWidget* parent, const QString& text, const QString& caption,
               MessageKind kind) override {
    QMessageBox box(IconFor(kind), CaptionOrDefault(caption), text, QMessageBox::Ok, parent);
    box.exec();
  }

  bool AskOkCancel(QWidget* parent, const QString& text, const QString& caption,
                   MessageKind icon) override {
    QMessageBox box(IconFor(icon), CaptionOrDefault(caption), text,
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
  }

  bool AskYesNo(QWidget* parent, const QString& text, const QString& caption,
                MessageKind icon) override {
    QMessageBox box(IconFor(icon), CaptionOrDefault(caption), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
  }

  QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) override {
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
  }

  QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                       const QString& suggestedName) override {
    return QFileDialog::getSaveFileName(parent, caption, suggestedName, filter);
  }

  QString SaveFileNameOfType(QWidget* parent, const QString& caption, const QString& filter,
                             int* chosenType) override {
    QString chosen;
    const QString name = QFileDialog::getSaveFileName(parent, caption, {}, filter, &chosen);
    if (chosenType) *chosenType = std::max<int>(0, static_cast<int>(filter.split(QStringLiteral(";;")).indexOf(chosen)));
    return name;
  }

  void SetClipboardText(const QString& text) override {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
  }
};

DialogPrompts& RealPrompts() {
  static DialogPrompts prompts;
  return prompts;
}

Prompts* g_installed = nullptr;

}  // namespace

Prompts& CurrentPrompts() { return g_installed ? *g_installed : RealPrompts(); }

void InstallPrompts(Prompts* prompts) { g_installed = prompts; }

void ShowMessage(QWidget* parent, const QString& text, const QString& caption, MessageKind kind) {
  CurrentPrompts().Message(parent, text, caption, kind);
}

// ---- ScriptedPrompts ----

void ScriptedPrompts::Message(QWidget*, const QString& text, const QString& caption,
                              MessageKind kind) {
  shown.push_back({QStringLiteral("message"), text, caption, kind});
}

bool ScriptedPrompts::AskOkCancel(QWidget*, const QString& text, const QString& caption,
                                  MessageKind icon) {
  shown.push_back({QStringLiteral("okcancel"), text, caption, icon});
  if (answers.empty()) return true;
  bool answer = answers.front();
  answers.pop_front();
  return answer;
}

bool ScriptedPrompts::AskYesNo(QWidget*, const QString& text, const QString& caption,
                               MessageKind icon) {
  shown.push_back({QStringLiteral("yesno"), text, caption, icon});
  if (answers.empty()) return true;
  bool answer = answers.front();
  answers.pop_front();
  return answer;
}

QString ScriptedPrompts::OpenFileName(QWidget*, const QString& caption, const QString& filter) {
  // The filter stands in for the text of a file dialog.
  shown.push_back({QStringLiteral("open"), filter, caption});
  if (fileNames.empty()) return {};
  QString name = fileNames.front();
  fileNames.pop_front();
  return name;
}

QString ScriptedPrompts::SaveFileName(QWidget*, const QString& caption, const QString& filter,
                                      const QString& suggestedName) {
  // The suggested name stands in for the text; the filter is not recorded.
  Q_UNUSED(filter);
  shown.push_back({QStringLiteral("save"), suggestedName, caption});
  if (fileNames.empty()) return {};
  QString name = fileNames.front();
  fileNames.pop_front();
  return name;
}

QString ScriptedPrompts::SaveFileNameOfType(QWidget* parent, const QString& caption,
                                            const QString& filter, int* chosenType) {
  const int type = fileTypes.empty() ? 0 : fileTypes.front();
  if (!fileTypes.empty()) fileTypes.pop_front();
  if (chosenType) *chosenType = type;
  return SaveFileName(parent, caption, filter, {});
}

void ScriptedPrompts::SetClipboardText(const QString& text) {
  shown.push_back({QStringLiteral("clipboard"), text, {}});
  clipboard = text;
}

QStringList ScriptedPrompts::Messages() const {
  QStringList texts;
  for (const Shown& s : shown) {
    if (s.kind == QLatin1String("message")) texts << s.text;
  }
  return texts;
}

QString ScriptedPrompts::LastMessage() const {
  for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
    if (it->kind == QLatin1String("message")) return it->text;
  }
  return {};
}

}  // namespace ui
