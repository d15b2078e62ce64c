#pragma once
// The program's icon: a thermometer beside a humidity drop in the window band's colours, drawn
// at the sizes a desktop asks for (title bar, task bar, switcher).
#include <QIcon>

namespace app {

QIcon AppIcon();

}  // namespace app
