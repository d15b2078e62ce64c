#pragma once
// Every message box, question, file dialog and clipboard write of the program goes through
// `Prompts`, so tests can install a scripted version that records what was shown and answers
// questions, and nothing blocks under the offscreen platform.
#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

class QWidget;

namespace ui {

enum class MessageKind { Information, Warning, Error, Question };

class Prompts {
 public:
  virtual ~Prompts() = default;
  // A message box with one OK button. An empty caption means the program's default caption.
  virtual void Message(QWidget* parent, const QString& text, const QString& caption = {},
                       MessageKind kind = MessageKind::Information) = 0;
  // OK/Cancel question: true for OK. `icon` is Warning for questions before something that
  // cannot be undone.
  virtual bool AskOkCancel(QWidget* parent, const QString& text, const QString& caption = {},
                           MessageKind icon = MessageKind::Question) = 0;
  // Yes/No question: true for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& text, const QString& caption = {},
                        MessageKind icon = MessageKind::Question) = 0;
  // File dialogs: an empty result means the user cancelled.
  virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) = 0;
  virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                               const QString& suggestedName = {}) = 0;
  virtual void SetClipboardText(const QString& text) = 0;
  // A save dialog whose filter offers several types ("A(*.a);;B(*.b)"): `chosenType` gets the
  // index of the type the user chose, from 0. By default the first type of SaveFileName().
  virtual QString SaveFileNameOfType(QWidget* parent, const QString& caption,
                                     const QString& filter, int* chosenType) {
    if (chosenType) *chosenType = 0;
    return SaveFileName(parent, caption, filter, {});
  }
};

// The prompts in use: real dialogs unless a test installed others.
Prompts& CurrentPrompts();
// Installs `prompts` (not owned) for the rest of the process or until the next call; nullptr
// brings back the real dialogs.
void InstallPrompts(Prompts* prompts);

// Shorthand for CurrentPrompts().Message(...).
void ShowMessage(QWidget* parent, const QString& text, const QString& caption = {},
                 MessageKind kind = MessageKind::Information);

// For tests: records every text shown and answers from queues (OK/Yes when a queue is empty;
// an empty file name when no file name is queued).
class ScriptedPrompts : public Prompts {
 public:
  struct Shown {
    QString kind;  // "message", "okcancel", "yesno", "open", "save", "clipboard"
    QString text;
    QString caption;
    MessageKind icon = MessageKind::Information;
  };

  void Message(QWidget* parent, const QString& text, const QString& caption,
               MessageKind kind) override;
  bool AskOkCancel(QWidget* parent, const QString& text, const QString& caption = {},
                   MessageKind icon = MessageKind::Question) override;
  bool AskYesNo(QWidget* parent, const QString& text, const QString& caption = {},
                MessageKind icon = MessageKind::Question) override;
  QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) override;
  QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                       const QString& suggestedName) override;
  void SetClipboardText(const QString& text) override;
  QString SaveFileNameOfType(QWidget* parent, const QString& caption, const QString& filter,
                             int* chosenType) override;

  std::deque<bool> answers;        // for AskOkCancel and AskYesNo, in order
  std::deque<QString> fileNames;   // for OpenFileName and SaveFileName, in order
  std::deque<int> fileTypes;       // for SaveFileNameOfType, in order (0 when empty)
  std::vector<Shown> shown;
  QString clipboard;

  // Texts of the message boxes shown so far, in order.
  QStringList Messages() const;
  QString LastMessage() const;
  void Clear() { shown.clear(); }
};

}  // namespace ui
