#pragma once
// The scripted tour for machines without a display: opens the preselected port, reads the
// instrument's versions and clock, shows every tab, saves a screenshot of the window per tab
// and reports what the layout audit finds on each. On the first page that keeps a profile it
// also saves the instrument's profile into the folder, loads it back into the page and takes
// one more screenshot.
#include <QString>
#include <QStringList>

namespace app {

class MainWindow;

struct DemoShots {
  QStringList files;     // one PNG per tab, in tab order
  QStringList profileFiles;  // the profile saved, then the page with it loaded (PNG)
  QStringList messages;  // every message the program showed on the way
  QStringList findings;  // texts cut short and overlapping controls, as "tab: what"
  QString error;         // non-empty: the folder could not be made or a file not written
};

DemoShots RunDemoShots(MainWindow& window, const QString& directory);

}  // namespace app
