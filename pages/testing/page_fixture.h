#pragma once
// For Qt page tests: the page under test over the real serial link to the simulator on a
// pseudo-terminal, with scripted prompts that record every message shown.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <string>

#include "pages/testing/sim_link.h"
#include "ui/prompts.h"

namespace pages::testing {

template <class PageType, int kProductVariant = 0>
class PageFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    ui::InstallPrompts(&prompts_);
    page_ = std::make_unique<PageType>(sim_.link, kProductVariant);
  }
  void TearDown() override {
    page_.reset();
    ui::InstallPrompts(nullptr);
  }

  // The page's control with this object name (a test failure when there is none).
  template <class T>
  T* Find(const char* name) {
    T* widget = page_->template findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* name) { Find<QPushButton>(name)->click(); }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }

  SimLink sim_;
  ui::ScriptedPrompts prompts_;
  std::unique_ptr<PageType> page_;
};

}  // namespace pages::testing
