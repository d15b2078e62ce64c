#pragma once
// For page and command-module tests: the instrument simulator behind a pseudo-terminal (or a
// loopback TCP port) and a DeviceLink that talks to it over the real serial (or TCP) channel.
#include <gtest/gtest.h>

#include <string>

#include "link/device_link.h"
#include "link/exchange.h"
#include "pages/testing/test_delay.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "sim/tcp_transport.h"

// Skips the test on a system without pseudo-terminals (Windows), where its serial channel to the
// simulator cannot exist; the TCP cases run there.
#define TOOL_SKIP_WITHOUT_PTY()                                              \
  if (!::sim::PtyServer::Available())                                        \
  GTEST_SKIP() << "needs the simulator on a pseudo-terminal, which this system lacks"

namespace pages::testing {

class SimLink {
 public:
  // Short exchange delay so the tests stay quick; long enough for a loaded machine.
  static int DelayMs() { return TestDelayMs(40); }

  SimLink() = default;
  ~SimLink() { Stop(); }

  // Serial channel over a pseudo-terminal. False with the reason in `error`.
  bool StartSerial(std::string* error) {
    if (!pty_.Start(error)) return false;
    if (!link.serial.OpenPort(pty_.SlavePath(), error)) return false;
    if (!link.serial.ConfigurePort("115200", error)) return false;
    link.delayMs = DelayMs();
    link.tcpMode = false;
    return true;
  }

  // TCP channel to 127.0.0.1.
  bool StartTcp(std::string* error) {
    if (!tcp_.Start(0, error)) return false;
    link.ip = "127.0.0.1";
    link.tcpPort = tcp_.Port();
    link.delayMs = DelayMs();
    link.tcpMode = true;
    return true;
  }

  // Stops the loopback TCP port alone: nothing listens there afterwards.
  void StopTcp() { tcp_.Stop(); }
  // Closes the pseudo-terminal alone, as a pulled-out adapter: the link's port stays open and
  // finds the line gone at its next exchange.
  void StopSerial() { pty_.Stop(); }

  void Stop() {
    link.serial.ClosePort();
    pty_.Stop();
    tcp_.Stop();
  }

  std::string SerialPath() const { return pty_.SlavePath(); }
  uint16_t TcpPort() const { return tcp_.Port(); }

  // The family state of the simulated instrument, read or changed under the simulator's lock.
  template <class State, class F>
  auto Device(F&& f) {
    return simulator.WithDevice([&](sim::Instrument& d) { return f(d.State<State>()); });
  }
  size_t Requests() const { return simulator.RequestLog().size(); }

  sim::Simulator simulator;
  devlink::DeviceLink link;

 private:
  sim::PtyServer pty_{simulator};
  sim::TcpServer tcp_{simulator};
};

}  // namespace pages::testing
