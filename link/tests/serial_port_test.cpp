// The serial channel over a pseudo-terminal whose master side the test plays itself.
#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "link/exchange.h"

namespace devlink {
namespace {

using namespace std::chrono_literals;

class Pty {
 public:
  Pty() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0) path_ = name;
    // The test keeps only the master; the code under test opens the slave by its path.
    if (slave_ >= 0) ::close(slave_);
  }
  ~Pty() {
    if (master_ >= 0) ::close(master_);
  }
  const std::string& Path() const { return path_; }

  void Send(const Bytes& bytes) const {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Everything the port under test has written, waiting up to `wait` for the first byte.
  Bytes Received(std::chrono::milliseconds wait = 200ms) const {
    Bytes out;
    struct pollfd p = {master_, POLLIN, 0};
    int timeout = static_cast<int>(wait.count());
    while (::poll(&p, 1, timeout) > 0) {
      uint8_t buffer[512];
      const ssize_t n = ::read(master_, buffer, sizeof(buffer));
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
      timeout = 20;
    }
    return out;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty_.Path().empty());
    std::string error;
    ASSERT_TRUE(port_.OpenPort(pty_.Path(), &error)) << error;
    ASSERT_TRUE(port_.ConfigurePort("9600", &error)) << error;
  }

  Pty pty_;
  DeviceLink link_;
  SerialPort& port_ = link_.serial;
};

TEST_F(SerialPortTest, SecondOpenOfTheSamePortFails) {
  SerialPort other;
  std::string error;
  EXPECT_FALSE(other.OpenPort(pty_.Path(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(other.IsOpen());
  port_.ClosePort();
  EXPECT_TRUE(other.OpenPort(pty_.Path(), &error)) << error;
}

// The exclusive-use flag lives on the terminal, not on the descriptor. If closing left it set,
// a normal user could not open the simulator's pseudo-terminal again (EBUSY) while its other
// side stays open; root is exempt, so the flag itself is checked here.
TEST_F(SerialPortTest, ExclusiveUseEndsWithThePort) {
  auto exclusive = [&]() {
    const int fd = ::open(pty_.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int flag = -1;
    if (fd >= 0) {
      ::ioctl(fd, TIOCGEXCL, &flag);
      ::close(fd);
    }
    return flag;
  };
  if (::geteuid() == 0) {
    EXPECT_EQ(exclusive(), 1);  // only root gets past the flag to read it
  }
  port_.ClosePort();
  EXPECT_EQ(exclusive(), 0);
  std::string error;
  ASSERT_TRUE(port_.OpenPort(pty_.Path(), &error)) << error;
  ASSERT_TRUE(port_.OpenPort(pty_.Path(), &error)) << error;  // reopening the open port
  EXPECT_TRUE(port_.ReopenPort("9600", &error)) << error;
  port_.ClosePort();
  EXPECT_EQ(exclusive(), 0);
}

TEST(SerialPortOpenTest, MissingOrNonTerminalPathFails) {
  SerialPort port;
  std::string error;
  EXPECT_FALSE(port.OpenPort("/dev/no-such-port", &error));
  EXPECT_NE(error.find("/dev/no-such-port"), std::string::npos);
  EXPECT_FALSE(port.OpenPort("/dev/null", &error));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.ConfigurePort("9600", &error));
}

TEST_F(SerialPortTest, BaudTextMustBeARate) {
  for (const char* text : {"", "abc", "96OO", "9600 ", "-9600", "0", "99999999999"}) {
    std::string error;
    EXPECT_FALSE(port_.ConfigurePort(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST_F(SerialPortTest, EveryRateOfThePortListIsSet) {
  for (const char* text : {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                           "38400", "56000", "57600", "115200", "128000", "256000"}) {
    std::string error;
    EXPECT_TRUE(port_.ConfigurePort(text, &error)) << text << ": " << error;
  }
}

TEST_F(SerialPortTest, ReadOfAnEmptyQueueReturnsAtOnce) {
  uint8_t buffer[16];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port_.SerialRead(buffer, sizeof(buffer)), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
}

TEST_F(SerialPortTest, ReadTakesAtMost392BytesAndAtMostTheCapacity) {
  Bytes burst(500);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i);
  pty_.Send(burst);
  std::this_thread::sleep_for(250ms);
  Bytes got(1024);
  const size_t first = port_.SerialRead(got.data(), got.size());
  EXPECT_EQ(first, 392u);
  const size_t second = port_.SerialRead(got.data() + first, 10);
  EXPECT_EQ(second, 10u);
  const size_t third = port_.SerialRead(got.data() + first + second, got.size());
  EXPECT_EQ(third, 98u);
  got.resize(first + second + third);
  EXPECT_EQ(got, burst);
}

TEST_F(SerialPortTest, PurgeDiscardsWhatWasQueued) {
  pty_.Send({0x3C, 0x01, 0x02});
  std::this_thread::sleep_for(150ms);
  port_.PurgePort();
  uint8_t buffer[8];
  EXPECT_EQ(port_.SerialRead(buffer, sizeof(buffer)), 0u);
}

TEST_F(SerialPortTest, WriteSendsEveryByteUnchanged) {
  // Bytes a cooked terminal would eat or translate: XON/XOFF, CR, LF, interrupt, EOF.
  const Bytes frame = {0x25, 0x11, 0x13, 0x0D, 0x0A, 0x03, 0x04, 0x7F, 0xFF, 0x00};
  port_.SerialWrite(frame);
  EXPECT_EQ(pty_.Received(), frame);
}

TEST_F(SerialPortTest, ReopenKeepsThePath) {
  std::string error;
  EXPECT_TRUE(port_.ReopenPort("115200", &error)) << error;
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(port_.Path(), pty_.Path());
  // A rate that cannot be set leaves the port closed with the reason.
  EXPECT_FALSE(port_.ReopenPort("fast", &error));
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_NE(error.find("fast"), std::string::npos);
}

TEST(SerialPortReopenTest, FailedOpenReportsThePortText) {
  SerialPort port;
  std::string error;
  EXPECT_FALSE(port.ReopenPort("9600", &error));
  EXPECT_EQ(error, "端口已打开");
}

// ---- the exchange on this channel ----

TEST(SerialExchangeTest, NoPortOpenSendsNothing) {
  Pty pty;
  DeviceLink link;
  link.delayMs = 10;
  const Bytes request = BuildSumFrame(1, 0x0C, 0xAA);
  const ExchangeResult result = Exchange(link, request, ReplySpec{});
  EXPECT_EQ(result.status, ExchangeStatus::PortNotOpen);
  EXPECT_TRUE(result.reply.empty());
  // Also after the port was opened and closed again.
  ASSERT_TRUE(link.serial.OpenPort(pty.Path()));
  link.serial.ClosePort();
  EXPECT_EQ(Exchange(link, request, ReplySpec{}).status, ExchangeStatus::PortNotOpen);
  EXPECT_TRUE(pty.Received(50ms).empty());
}

TEST_F(SerialPortTest, ExchangeDiscardsBytesThatArrivedBeforeTheRequest) {
  DeviceLink& link = link_;
  link.delayMs = 200;
  pty_.Send({0xEE, 0xEE, 0xEE});  // a late reply of an earlier command
  std::this_thread::sleep_for(150ms);
  const Bytes reply = {0x3C, 0x01, 0x0C, 0x00, 0x00, 0x66, 0xAF};
  std::thread device([&] {
    const Bytes request = pty_.Received(1000ms);
    if (request == BuildSumFrame(1, 0x0C, 0xAA)) pty_.Send(reply);
  });
  const ExchangeResult result = Exchange(link, BuildSumFrame(1, 0x0C, 0xAA), ReplySpec{});
  device.join();
  EXPECT_EQ(result.status, ExchangeStatus::Ok);
  EXPECT_EQ(result.reply, reply);
}

TEST_F(SerialPortTest, ReplyIsCutAtTheCapacity) {
  DeviceLink& link = link_;
  link.delayMs = 200;
  std::thread device([&] {
    if (!pty_.Received(1000ms).empty()) pty_.Send(Bytes(20, 0x3C));
  });
  ReplySpec spec;
  spec.capacity = 8;
  const ExchangeResult result = Exchange(link, BuildSumFrame(1, 0x01, 0x55), spec);
  device.join();
  EXPECT_EQ(result.reply.size(), 8u);
  // The rest was purged, not left for the next command.
  uint8_t buffer[32];
  EXPECT_EQ(link.serial.SerialRead(buffer, sizeof(buffer)), 0u);
}

// Closing the port from another thread waits for the running exchange instead of pulling the
// handle from under it: the exchange still reads its reply.
TEST_F(SerialPortTest, CloseWaitsForARunningExchange) {
  DeviceLink& link = link_;
  link.delayMs = 300;
  const Bytes reply = {0x3C, 0x01, 0x0C, 0x00, 0x00, 0x66, 0xAF};
  std::atomic<bool> requestSeen{false};
  std::thread device([&] {
    if (pty_.Received(2000ms).empty()) return;
    requestSeen = true;
    pty_.Send(reply);
  });
  ExchangeResult result;
  std::thread worker([&] { result = Exchange(link, BuildSumFrame(1, 0x0C, 0xAA), ReplySpec{}); });
  // The request is on the wire, so the exchange is inside its delay.
  for (int i = 0; i < 400 && !requestSeen; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(requestSeen);
  link.serial.ClosePort();
  EXPECT_FALSE(link.serial.IsOpen());
  worker.join();
  device.join();
  EXPECT_EQ(result.status, ExchangeStatus::Ok);
  EXPECT_EQ(result.reply, reply);
}

// Two threads exchanging on one port: each gets exactly its own reply.
TEST_F(SerialPortTest, ExchangesOnOnePortDoNotInterleave) {
  DeviceLink& link = link_;
  link.delayMs = 250;
  std::atomic<bool> stop{false};
  // Far end: answers each 7-byte request with '<' + the request's command byte.
  std::thread device([&] {
    while (!stop) {
      const Bytes request = pty_.Received(20ms);
      for (size_t at = 0; at + 7 <= request.size(); at += 7) {
        pty_.Send({0x3C, request[at + 2]});
      }
    }
  });
  auto run = [&](uint8_t command, int& matches) {
    for (int i = 0; i < 5; ++i) {
      const ExchangeResult r = Exchange(link, BuildSumFrame(1, command, 0), ReplySpec{});
      if (r.reply == Bytes({0x3C, command})) ++matches;
    }
  };
  int matchesA = 0, matchesB = 0;
  std::thread a([&] { run(0x0A, matchesA); });
  std::thread b([&] { run(0x0B, matchesB); });
  a.join();
  b.join();
  stop = true;
  device.join();
  EXPECT_EQ(matchesA, 5);
  EXPECT_EQ(matchesB, 5);
}

}  // namespace
}  // namespace devlink
