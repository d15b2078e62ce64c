#pragma once
// The program's icon: a thermometer beside a humidity drop in the window band's colours, drawn
// at the sizes a desktop asks for (title bar, task bar, switcher).
#include <QIcon>
#include <QPixmap>

namespace app {

QIcon AppIcon();
// One size of it, `size` x `size` pixels; also rendered into the installed theme icons.
QPixmap DrawIcon(int size);

}  // namespace app
