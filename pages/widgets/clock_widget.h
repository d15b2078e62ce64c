#pragma once
// The clock widget: reads the instrument's clock into a text field and sets it to the PC's local
// time. A host page creates it inside one of its group boxes and may replace the protocol hooks
// after creation; the defaults speak the SumFrame commands of sn_clock_protocols.h.
//
// The default read reports the address the instrument answered with: the widget emits
// deviceAddressReported, which the constructor connects to the host's
// Page::deviceAddressReported, so the main window's address field follows without the host
// doing anything.
#include <functional>

#include <QWidget>

#include "link/exchange.h"
#include "pages/widgets/sn_clock_protocols.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace pages {

class Page;

class ClockWidget : public QWidget {
  Q_OBJECT
 public:
  // Every hook gets the widget; the host page is widget.Host().
  struct Hooks {
    // Optional: false stops the command before anything is sent.
    std::function<bool(ClockWidget&)> preExchange;
    std::function<WidgetRequest(ClockWidget&)> buildRead;
    // The set-time request for the PC's time at the moment of the click.
    std::function<WidgetRequest(ClockWidget&)> buildWrite;
    // Error text (empty: success), the time text, an optional success message and address.
    std::function<WidgetReply(ClockWidget&, devlink::ByteView reply)> parseRead;
    // Optional (none by default): error text, empty on success.
    std::function<std::string(ClockWidget&, devlink::ByteView reply)> parseWrite;
  };

  // `parent` is the host's group box; the widget runs its commands over the host's link.
  ClockWidget(Page& host, QWidget* parent);

  Page& Host() { return host_; }
  Hooks& ProtocolHooks() { return hooks_; }
  // Runs the exchanges on `channel` (not owned) instead of the host's link; nullptr: the link.
  void SetChannel(devlink::Channel* channel) { channel_ = channel; }
  // The address byte the current channel puts into frames.
  uint8_t DeviceAddress();

  QLineEdit* TimeField() const { return time_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* SetButton() const { return set_; }

  // What the two buttons do.
  void ReadTime();
  void SetTime();

 signals:
  // The instrument reported this address in its clock reply.
  void deviceAddressReported(int address);

 private:
  Page& host_;
  Hooks hooks_;
  devlink::Channel* channel_ = nullptr;
  QLineEdit* time_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* set_ = nullptr;
};

// The "时钟配置" group ("clockGroup") of `host` holding its clock widget, which sits `left` pixels
// from the left and `top` from the top of the group's frame. The widget is stored in `*clock`.
QGroupBox* MakeClockGroup(Page& host, int left, int top, ClockWidget** clock);

}  // namespace pages
