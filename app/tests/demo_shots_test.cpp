// The scripted screenshot run that scripts/demo uses on machines without a display.
#include "app/demo_shots.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"

namespace app {
namespace {

TEST(DemoShots, OneScreenshotPerTabAfterReadingTheVersions) {
  sim::Simulator simulator;
  sim::PtyServer pty(simulator);
  std::string error;
  ASSERT_TRUE(pty.Start(&error)) << error;

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  devlink::DeviceLink link;
  link.delayMs = 60;
  CommandLine line;
  line.variant = 1;
  line.port = pty.SlavePath();
  MainWindow window(link, line);

  const DemoShots shots = RunDemoShots(window, dir.filePath("shots"));
  EXPECT_TRUE(shots.error.isEmpty()) << shots.error.toStdString();
  ASSERT_EQ(shots.files.size(), window.Tabs()->count());
  ASSERT_EQ(shots.files.size(), 13);
  EXPECT_TRUE(shots.files.front().endsWith("01-设置.png"));
  EXPECT_TRUE(shots.files.back().endsWith("13-无线记录仪.png"));
  for (const QString& file : shots.files) {
    const QImage image(file);
    ASSERT_FALSE(image.isNull()) << file.toStdString();
    EXPECT_EQ(image.size(), window.size() * window.devicePixelRatio());
    // The grey band across the top.
    EXPECT_EQ(image.pixelColor(2, 2), QColor(102, 102, 102)) << file.toStdString();
  }
  // The settings page's profile saved, loaded back and shown.
  ASSERT_EQ(shots.profileFiles.size(), 2) << shots.messages.join('|').toStdString();
  EXPECT_TRUE(shots.profileFiles[0].endsWith("01-设置.json"));
  EXPECT_TRUE(QFileInfo(shots.profileFiles[0]).size() > 0);
  EXPECT_TRUE(shots.profileFiles[1].endsWith("01-设置-配置已载入.png"));
  EXPECT_FALSE(QImage(shots.profileFiles[1]).isNull());
  EXPECT_TRUE(shots.messages.contains("配置已保存"));
  EXPECT_TRUE(shots.findings.isEmpty()) << shots.findings.join('\n').toStdString();
  // The versions, then the clock of the first page that has one.
  EXPECT_EQ(shots.messages.count("数据读取成功"), 2) << shots.messages.join('|').toStdString();
  EXPECT_EQ(window.Tabs()->currentIndex(), 12);
  pty.Stop();
}

TEST(DemoShots, UnwritableFolderIsReported) {
  devlink::DeviceLink link;
  CommandLine line;
  MainWindow window(link, line);
  const DemoShots shots = RunDemoShots(window, "/proc/no-such-folder/shots");
  EXPECT_FALSE(shots.error.isEmpty());
  EXPECT_TRUE(shots.files.isEmpty());
}

}  // namespace
}  // namespace app
