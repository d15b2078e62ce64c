// tool: the technicians' configuration program.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/demo_shots.h"
#include "app/main_window.h"
#include "history/history_archive.h"
#include "link/device_link.h"
#include "tool_version.h"

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace

int main(int argc, char** argv) {
  // Options are checked before the window system is touched, so --help works anywhere.
  const app::CommandLine early = app::ParseArguments(Arguments(argc, argv));
  if (early.help) {
    std::fputs(app::UsageText("tool").c_str(), stdout);
    return 0;
  }
  if (early.version) {
    std::printf("tool %s\n", TOOL_VERSION);
    return 0;
  }
  if (!early.error.empty()) {
    std::fprintf(stderr, "tool: %s\n%s", early.error.c_str(), app::UsageText("tool").c_str());
    return 2;
  }

  QApplication application(argc, argv);
  // Message boxes without a caption of their own carry the program's name.
  QApplication::setApplicationName("TOOL");
  QApplication::setApplicationVersion(TOOL_VERSION);
  // Ties the windows to the installed desktop entry (its name and icon under Wayland).
  QGuiApplication::setDesktopFileName("net.veltrix.tool");
  // Qt took its own options (-platform, ...) out of argv; read ours again from what is left.
  const app::CommandLine commandLine = app::ParseArguments(Arguments(argc, argv));
  if (commandLine.archive) pages::history::UseArchivePath(*commandLine.archive);
  devlink::DeviceLink link;
  app::MainWindow window(link, commandLine);

  if (commandLine.demoShots) {
    const QString directory = QDir(QString::fromStdString(*commandLine.demoShots)).absolutePath();
    const app::DemoShots shots = app::RunDemoShots(window, directory);
    for (const QString& message : shots.messages) {
      std::printf("message: %s\n", message.toUtf8().constData());
    }
    for (const QString& finding : shots.findings) {
      std::printf("layout: %s\n", finding.toUtf8().constData());
    }
    for (const QString& file : shots.files) std::printf("saved %s\n", file.toUtf8().constData());
    for (const QString& file : shots.profileFiles) {
      std::printf("saved %s\n", file.toUtf8().constData());
    }
    std::printf("screenshots in %s\n", directory.toUtf8().constData());
    if (!shots.error.isEmpty()) {
      std::fprintf(stderr, "tool: %s\n", shots.error.toUtf8().constData());
      return 1;
    }
    return 0;
  }

  if (commandLine.openPort) window.OpenSelectedPort();
  window.exec();
  return 0;
}
