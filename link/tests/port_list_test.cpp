#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace devlink {
namespace {

namespace fs = std::filesystem;

// A throw-away copy of the tty class directory: each entry is a directory, optionally with a
// `device` symlink and a `type` file, as the kernel lays them out.
class FakeSysfs {
 public:
  FakeSysfs() {
    root_ = fs::temp_directory_path() /
            ("link-ports-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(root_);
  }
  ~FakeSysfs() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  void Add(const std::string& name, const std::string& deviceTarget = "", int type = -1) {
    const fs::path entry = root_ / name;
    fs::create_directories(entry);
    if (!deviceTarget.empty()) fs::create_directory_symlink(deviceTarget, entry / "device");
    if (type >= 0) std::ofstream(entry / "type") << type << "\n";
  }
  std::string Root() const { return root_.string(); }

 private:
  static inline int counter_ = 0;
  fs::path root_;
};

std::vector<std::string> Names(const std::vector<PortEntry>& ports) {
  std::vector<std::string> names;
  for (const auto& p : ports) names.push_back(p.name);
  return names;
}

TEST(ListPortsTest, RealDevicesAscendingWithDuplicates) {
  FakeSysfs sysfs;
  sysfs.Add("ttyUSB10", "../../../1-1.2:1.0/ttyUSB10");
  sysfs.Add("ttyS2", "../../../00:06", 4);
  sysfs.Add("ttyUSB2", "../../../1-1.1:1.0/ttyUSB2");
  sysfs.Add("ttyACM0", "../../../3-2:1.0");
  sysfs.Add("ttyS0", "../../../00:05", 4);
  sysfs.Add("ttyS1", "../../../serial8250", 0);   // slot without a port: type 0
  sysfs.Add("ttyS5", "../../../serial8250");      // placeholder, type unreadable
  sysfs.Add("ttyS7", "../../../00:07");           // real device, type unreadable
  sysfs.Add("tty0");                              // virtual consoles
  sysfs.Add("tty12", "../../../vtcon");
  sysfs.Add("console");
  sysfs.Add("ptmx");
  sysfs.Add("ttyprintk", "../../../printk");      // no number
  sysfs.Add("ttyAMA1");                           // no device link

  const auto ports = ListPorts(sysfs.Root());
  EXPECT_EQ(Names(ports), (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyS2", "ttyUSB2",
                                                      "ttyS7", "ttyUSB10"}));
  ASSERT_EQ(ports.size(), 6u);
  EXPECT_EQ(ports[3].path, "/dev/ttyUSB2");
  EXPECT_EQ(ports[3].number, 2u);
  EXPECT_EQ(ports[5].number, 10u);
}

TEST(ListPortsTest, NumbersCompareAsNumbersNotText) {
  FakeSysfs sysfs;
  for (const char* name : {"ttyUSB10", "ttyUSB9", "ttyUSB100", "ttyUSB1"}) {
    sysfs.Add(name, std::string("../../../") + name);
  }
  EXPECT_EQ(Names(ListPorts(sysfs.Root())),
            (std::vector<std::string>{"ttyUSB1", "ttyUSB9", "ttyUSB10", "ttyUSB100"}));
}

TEST(ListPortsTest, MissingDirectoryGivesEmptyList) {
  EXPECT_TRUE(ListPorts("/nonexistent/sys/class/tty").empty());
}

}  // namespace
}  // namespace devlink
