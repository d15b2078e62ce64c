#pragma once
// Creates the page of a page kind as a child of the tab control.
#include <QWidget>

#include "link/device_link.h"
#include "pages/kit/command_table.h"

namespace app {

// The page for `kind`; a kind whose page does not exist yet gets an empty page (a pages::Page
// with nothing on it), so every variant shows its whole tab list. Never null.
QWidget* CreatePage(int kind, devlink::DeviceLink& link, int variant, QWidget* parent);

// The page of the instrument family registered for `kind`, or null when none is (generated from
// pages/CMakeLists.txt).
QWidget* CreateFamilyPage(int kind, devlink::DeviceLink& link, int variant, QWidget* parent);

// The command set of the family registered for `kind` (with its profile when the family keeps
// one), made once; null for a kind whose family has no verbs or no page (generated from
// pages/CMakeLists.txt).
const pages::CommandSet* FamilyCommands(int kind);

}  // namespace app
