#include <gtest/gtest.h>

#include "ui/prompts.h"

namespace {

TEST(ScriptedPrompts, AnswersQuestionsInOrderAndRecordsEverything) {
  ui::ScriptedPrompts prompts;
  prompts.answers = {false, true};
  prompts.fileNames = {QStringLiteral("/tmp/a.csv")};

  EXPECT_FALSE(prompts.AskOkCancel(nullptr, QStringLiteral("继续？"), QStringLiteral("提示")));
  EXPECT_TRUE(prompts.AskYesNo(nullptr, QStringLiteral("保存？"), {}));
  // Queues used up: questions are answered with OK/Yes, file dialogs with "cancelled".
  EXPECT_TRUE(prompts.AskOkCancel(nullptr, QStringLiteral("再次？"), {}));
  EXPECT_EQ(prompts.SaveFileName(nullptr, QStringLiteral("保存"), QStringLiteral("*.csv"),
                                 QStringLiteral("a.csv")),
            QStringLiteral("/tmp/a.csv"));
  EXPECT_TRUE(prompts.OpenFileName(nullptr, QStringLiteral("打开"), QStringLiteral("*.jz")).isEmpty());
  prompts.SetClipboardText(QStringLiteral("7EAC00001"));

  ASSERT_EQ(prompts.shown.size(), 6u);
  EXPECT_EQ(prompts.shown[0].kind, QStringLiteral("okcancel"));
  EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("提示"));
  EXPECT_EQ(prompts.shown[1].kind, QStringLiteral("yesno"));
  EXPECT_EQ(prompts.shown[3].kind, QStringLiteral("save"));
  EXPECT_EQ(prompts.shown[4].kind, QStringLiteral("open"));
  EXPECT_EQ(prompts.shown[5].kind, QStringLiteral("clipboard"));
  EXPECT_EQ(prompts.clipboard, QStringLiteral("7EAC00001"));
  // Questions and dialogs are not messages.
  EXPECT_TRUE(prompts.Messages().isEmpty());
  EXPECT_TRUE(prompts.LastMessage().isEmpty());
}

TEST(ScriptedPrompts, InstalledPromptsReceiveEveryShowMessage) {
  ui::ScriptedPrompts prompts;
  ui::InstallPrompts(&prompts);
  ui::ShowMessage(nullptr, QStringLiteral("数据读取成功"));
  ui::ShowMessage(nullptr, QStringLiteral("地址号不能小于1且不能大于255"), QStringLiteral("出错"),
                  ui::MessageKind::Error);
  EXPECT_EQ(&ui::CurrentPrompts(), &prompts);
  ui::InstallPrompts(nullptr);
  EXPECT_NE(&ui::CurrentPrompts(), &prompts);

  EXPECT_EQ(prompts.Messages(),
            QStringList({QStringLiteral("数据读取成功"), QStringLiteral("地址号不能小于1且不能大于255")}));
  EXPECT_EQ(prompts.LastMessage(), QStringLiteral("地址号不能小于1且不能大于255"));
  EXPECT_EQ(prompts.shown.back().caption, QStringLiteral("出错"));
}

}  // namespace
