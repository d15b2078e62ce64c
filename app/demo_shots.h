#pragma once
// The scripted tour for machines without a display: opens the preselected port, reads the
// instrument's versions and clock, shows every tab and saves a screenshot of the window per tab.
#include <QString>
#include <QStringList>

namespace app {

class MainWindow;

struct DemoShots {
  QStringList files;     // one PNG per tab, in tab order
  QStringList messages;  // every message the program showed on the way
  QString error;         // non-empty: the folder could not be made or a file not written
};

DemoShots RunDemoShots(MainWindow& window, const QString& directory);

}  // namespace app
