#pragma once
// Small helpers the instrument pages share: controls made with their stable object name and
// accessible caption, and the run of one command with the wait cursor over the page's link.
#include <QLabel>
#include <QPushButton>
#include <QString>

#include "link/exchange.h"
#include "pages/widgets/page.h"
#include "ui/wait_cursor.h"

namespace pages {

// A push button that Enter in a field never triggers.
inline QPushButton* MakeButton(const QString& text, const QString& name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

// A caption label for `buddy`, whose accessible name becomes the caption.
inline QLabel* MakeCaption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  buddy->setAccessibleName(text);
  return label;
}

// Runs `command(channel)` on a channel over the page's link, showing the wait cursor meanwhile.
template <class Command>
auto RunCommand(Page& page, Command&& command) {
  ui::WaitCursor wait;
  devlink::LinkChannel channel(page.Link());
  return command(channel);
}

}  // namespace pages
