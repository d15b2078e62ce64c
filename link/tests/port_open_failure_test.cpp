// The reason given for a serial port that cannot be opened: the texts, and real failed opens,
// including one by an unprivileged user (the tests run as root in CI; a child process drops to
// nobody and opens a pseudo-terminal it may not open).
#include "link/port_open_failure.h"

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "link/serial_port.h"

namespace devlink {
namespace {

TEST(PortOpenFailureTextTest, EachCauseNamesThePortAndWhatToDo) {
  const std::string path = "/dev/ttyUSB0";
  auto text = [&](PortOpenProblem problem, std::string group = {}, bool pending = false,
                  int errorNumber = 0) {
    return PortOpenFailureText({problem, path, errorNumber, std::move(group), pending, 0, {}, {}});
  };
  EXPECT_EQ(text(PortOpenProblem::NoPermission, "dialout"),
            "端口已打开（无权限：/dev/ttyUSB0 属于 dialout 组，请将当前用户加入该组后重新登录）");
  EXPECT_EQ(text(PortOpenProblem::NoPermission, "uucp", true),
            "端口已打开（无权限：/dev/ttyUSB0 属于 uucp 组，当前用户已加入该组但尚未生效，"
            "请重新登录）");
  EXPECT_EQ(text(PortOpenProblem::NoPermission),
            "端口已打开（无权限：当前用户不能读写 /dev/ttyUSB0，请检查该设备的权限）");
  EXPECT_EQ(text(PortOpenProblem::InUse),
            "端口已打开（/dev/ttyUSB0 正被其他程序占用，请先关闭该程序）");
  PortOpenFailure held{PortOpenProblem::InUse, path, EBUSY, {}, false, 4711, "minicom", {}};
  EXPECT_EQ(PortOpenFailureText(held),
            "端口已打开（/dev/ttyUSB0 正被其他程序占用：minicom（进程号 4711），请先关闭该程序）");
  EXPECT_EQ(text(PortOpenProblem::Missing),
            "端口已打开（/dev/ttyUSB0 不存在，请检查设备是否已连接）");
  EXPECT_EQ(text(PortOpenProblem::NotSerial), "端口已打开（/dev/ttyUSB0 不是串口设备）");
  EXPECT_EQ(text(PortOpenProblem::Other, {}, false, EIO),
            "端口已打开（无法打开 /dev/ttyUSB0：" + std::string(std::strerror(EIO)) + "）");
}

TEST(PortOpenFailureTest, ErrorNumbersSortIntoCauses) {
  for (int e : {ENOENT, ENODEV, ENXIO}) {
    EXPECT_EQ(ExplainPortOpenError("/dev/ttyUSB7", e).problem, PortOpenProblem::Missing) << e;
  }
  for (int e : {EBUSY, EWOULDBLOCK}) {
    EXPECT_EQ(ExplainPortOpenError("/dev/ttyUSB7", e).problem, PortOpenProblem::InUse) << e;
  }
  EXPECT_EQ(ExplainPortOpenError("/dev/null", ENOTTY).problem, PortOpenProblem::NotSerial);
  EXPECT_EQ(ExplainPortOpenError("/dev/ttyUSB7", EIO).problem, PortOpenProblem::Other);
  // A permission problem on a path that cannot even be looked at names no group.
  const PortOpenFailure denied = ExplainPortOpenError("/nonexistent/ttyUSB7", EACCES);
  EXPECT_EQ(denied.problem, PortOpenProblem::NoPermission);
  EXPECT_TRUE(denied.group.empty());
}

// A pseudo-terminal whose slave side the code under test opens by its path.
class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256] = {};
    int slave = -1;
    ASSERT_EQ(::openpty(&master_, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    path_ = name;
  }
  void TearDown() override {
    if (master_ >= 0) ::close(master_);
  }

  // Opens the port in a child process that runs as `nobody`; returns the text it would show
  // ("opened" when the open succeeded).
  std::string OpenAsNobody() {
    const struct passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) return "no user nobody";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(pipeFds[0]);
      std::string text;
      if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
        text = "cannot drop privileges";
      } else {
        SerialPort port;
        PortOpenFailure failure;
        text = port.OpenPort(path_, nullptr, &failure) ? "opened" : PortOpenFailureText(failure);
      }
      const ssize_t written = ::write(pipeFds[1], text.data(), text.size());
      ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof(buffer))) > 0) text.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return text;
  }

  int master_ = -1;
  std::string path_;
};

TEST_F(PtyPortTest, FailedOpensInThisProcessGiveTheirCause) {
  SerialPort port;
  PortOpenFailure failure;
  std::string error;
  EXPECT_FALSE(port.OpenPort("/nonexistent/ttyUSB9", &error, &failure));
  EXPECT_EQ(failure.problem, PortOpenProblem::Missing);
  EXPECT_NE(error.find("/nonexistent/ttyUSB9"), std::string::npos);  // the log line stays
  EXPECT_FALSE(port.OpenPort("/dev/null", nullptr, &failure));
  EXPECT_EQ(failure.problem, PortOpenProblem::NotSerial);
  EXPECT_EQ(failure.path, "/dev/null");

  // Held by another port (here in the same process): its lock keeps the second one out.
  SerialPort holder;
  ASSERT_TRUE(holder.OpenPort(path_, &error)) << error;
  EXPECT_FALSE(port.OpenPort(path_, nullptr, &failure));
  EXPECT_EQ(PortOpenFailureText(failure),
            "端口已打开（" + path_ + " 正被其他程序占用，请先关闭该程序）");
}

TEST_F(PtyPortTest, PortHeldByAnotherProcessNamesIt) {
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    SerialPort port;
    const char opened = port.OpenPort(path_) ? 'y' : 'n';
    if (::write(ready[1], &opened, 1) != 1) ::_exit(1);
    char byte;
    while (::read(release[0], &byte, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  char opened = 0;
  ASSERT_EQ(::read(ready[0], &opened, 1), 1);
  ASSERT_EQ(opened, 'y');

  SerialPort port;
  PortOpenFailure failure;
  EXPECT_FALSE(port.OpenPort(path_, nullptr, &failure));
  EXPECT_EQ(failure.holderPid, child);
  EXPECT_EQ(PortOpenFailureText(failure), "端口已打开（" + path_ + " 正被其他程序占用：" +
                                              failure.holderName + "（进程号 " +
                                              std::to_string(child) + "），请先关闭该程序）");
  EXPECT_FALSE(failure.holderName.empty());
  ::close(release[1]);
  ::close(ready[0]);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(port.OpenPort(path_));
}

TEST_F(PtyPortTest, UnprivilegedUserLearnsWhichGroupToJoin) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the port to another user";
  // The usual serial device: root's, readable and writable by one group.
  const struct group* dialout = ::getgrnam("dialout");
  const gid_t group = dialout ? dialout->gr_gid : 0;
  const std::string groupName = dialout ? "dialout" : ::getgrgid(0)->gr_name;
  ASSERT_EQ(::chown(path_.c_str(), 0, group), 0);
  ASSERT_EQ(::chmod(path_.c_str(), 0660), 0);
  EXPECT_EQ(OpenAsNobody(), "端口已打开（无权限：" + path_ + " 属于 " + groupName +
                                " 组，请将当前用户加入该组后重新登录）");

  // A group that may only write is no cure: the text says only that permission is missing.
  ASSERT_EQ(::chmod(path_.c_str(), 0620), 0);
  EXPECT_EQ(OpenAsNobody(),
            "端口已打开（无权限：当前用户不能读写 " + path_ + "，请检查该设备的权限）");

  // Open to everyone: the user gets in.
  ASSERT_EQ(::chmod(path_.c_str(), 0666), 0);
  EXPECT_EQ(OpenAsNobody(), "opened");
}

TEST_F(PtyPortTest, PortHeldExclusivelyByAnotherProcessSaysSo) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the port to another user";
  ASSERT_EQ(::chmod(path_.c_str(), 0666), 0);
  // This process holds the port; the terminal's exclusive-use flag turns the other user's open
  // away with EBUSY before any lock is tried.
  SerialPort holder;
  std::string error;
  ASSERT_TRUE(holder.OpenPort(path_, &error)) << error;
  EXPECT_EQ(OpenAsNobody(), "端口已打开（" + path_ + " 正被其他程序占用，请先关闭该程序）");
  holder.ClosePort();
  EXPECT_EQ(OpenAsNobody(), "opened");
}

}  // namespace
}  // namespace devlink
