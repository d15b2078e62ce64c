// Renders the program's icon into PNG files of the hicolor theme sizes:
//   render-icons DIR NAME   writes DIR/hicolor/<size>x<size>/apps/NAME.png
// Runs at build time under the offscreen platform, so the desktop icon is the same drawing as the
// window's.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "app/app_icon.h"

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: render-icons DIR NAME\n");
    return 2;
  }
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder =
        QStringLiteral("%1/hicolor/%2x%2/apps").arg(args[1]).arg(size);
    const QString file = folder + "/" + args[2] + ".png";
    const QPixmap icon = app::DrawIcon(size);
    if (!QDir().mkpath(folder) || icon.width() != size || !icon.save(file, "PNG")) {
      std::fprintf(stderr, "render-icons: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
