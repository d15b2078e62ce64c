#pragma once
// The serial-number widget: production date (year, month) and serial number, written to and
// read from the instrument, and the SN they make. A host page creates it inside one of its group
// boxes and may replace the protocol hooks after creation; the defaults speak the SumFrame
// commands of sn_clock_protocols.h.
#include <functional>

#include <QWidget>

#include "link/exchange.h"
#include "pages/widgets/sn_clock_protocols.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace pages {

class Page;

class SnWidget : public QWidget {
  Q_OBJECT
 public:
  // Every hook gets the widget; the host page is widget.Host().
  struct Hooks {
    // Optional: false stops the command before anything is sent.
    std::function<bool(SnWidget&)> preExchange;
    std::function<WidgetRequest(SnWidget&)> buildRead;
    std::function<WidgetRequest(SnWidget&, int year, int month, int serial)> buildWrite;
    // Error text (empty: success) and the SN text to show.
    std::function<WidgetReply(SnWidget&, devlink::ByteView reply)> parseRead;
    // Error text, empty on success.
    std::function<std::string(SnWidget&, devlink::ByteView reply)> parseWrite;
  };

  // `parent` is the host's group box; the widget runs its commands over the host's link.
  SnWidget(Page& host, QWidget* parent);

  Page& Host() { return host_; }
  Hooks& ProtocolHooks() { return hooks_; }
  // Runs the exchanges on `channel` (not owned) instead of the host's link; nullptr: the link.
  void SetChannel(devlink::Channel* channel) { channel_ = channel; }

  QLineEdit* YearEdit() const { return year_; }
  QLineEdit* MonthEdit() const { return month_; }
  QLineEdit* SerialEdit() const { return serial_; }
  QCheckBox* AutoIncrement() const { return auto_; }
  QLineEdit* SnField() const { return sn_; }
  QPushButton* ReadButton() const { return read_; }
  // Hosts whose write needs a read first disable it at start; a successful read enables it.
  QPushButton* WriteButton() const { return write_; }
  QPushButton* CopyButton() const { return copy_; }

  // What the three buttons do.
  void Read();
  void Write();
  void CopySn();

 private:
  Page& host_;
  Hooks hooks_;
  devlink::Channel* channel_ = nullptr;
  QLineEdit* year_ = nullptr;
  QLineEdit* month_ = nullptr;
  QLineEdit* serial_ = nullptr;
  QCheckBox* auto_ = nullptr;
  QLineEdit* sn_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* copy_ = nullptr;
};

}  // namespace pages
