#pragma once
// The wireless-logger page: the program as the TCP server of wireless-logger gateways. The
// gateway server core runs on the event loop through socket notifiers; a command to the selected
// gateway disables the page until its reply or its time-out, while the other gateways keep being
// served.
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "pages/kit/page.h"
#include "server/gateway_commands.h"
#include "server/gateway_server.h"
#include "ui/wait_cursor.h"

class QLineEdit;
class QPushButton;
class QSocketNotifier;
class QTreeWidget;
class QTreeWidgetItem;

namespace pages {

class RangeEdit;
class ValueLabel;

class WirelessLoggerPage : public Page {
  Q_OBJECT
 public:
  WirelessLoggerPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);
  ~WirelessLoggerPage() override;

  gateway::GatewayServer& Server() { return server_; }
  // The local address the server listens on: every address (the gateways are elsewhere on the
  // network) unless set otherwise (tests and demonstrations keep to the loopback address).
  void SetListenAddress(const std::string& address) { listenAddress_ = address; }
  int SelectedGateway() const { return selectedGateway_; }
  int SelectedLogger() const { return selectedLogger_; }
  // Gateways served now are cut off by closing the program.
  QString UnfinishedWork() const override;

 private:
  void ToggleListening();
  // No descriptors left: the listener is not watched for `pause`.
  void PauseAccepting(std::chrono::milliseconds pause);
  // Times the pending command's end: its deadline, when one is pending.
  void ArmDeadline();
  void ClearList();
  void GatewaySelectionChanged();
  void LoggerSelectionChanged(bool copySn);
  void UpdateButtons();
  // Sends the request to the selected gateway and waits for it without blocking.
  void Start(const gateway::GatewayRequest& request);
  void Finished(const gateway::CommandReply& reply);
  void ShowLoggers(const std::vector<std::string>& sns);

  void Accepted(const gateway::GatewayInfo& info);
  void Closed(gateway::GatewayKey key);
  void Received(gateway::GatewayKey key);
  QTreeWidgetItem* RowOf(gateway::GatewayKey key) const;
  gateway::GatewayKey KeyOfRow(int row) const;

  gateway::GatewayServer server_;
  std::string listenAddress_ = "0.0.0.0";
  std::unique_ptr<QSocketNotifier> listenerNotifier_;
  std::map<gateway::GatewayKey, std::unique_ptr<QSocketNotifier>> notifiers_;
  QTimer deadline_;
  gateway::GatewayRequest pending_;
  gateway::GatewayKey pendingGateway_ = 0;
  std::optional<ui::WaitCursor> waitCursor_;
  int selectedGateway_ = -1;
  gateway::GatewayKey selectedGatewayKey_ = 0;
  int selectedLogger_ = -1;

  QLineEdit* port_ = nullptr;
  QPushButton* listen_ = nullptr;
  QTreeWidget* gateways_ = nullptr;
  QPushButton* clearList_ = nullptr;
  QPushButton* readLoggers_ = nullptr;
  QPushButton* clearLoggers_ = nullptr;
  QTreeWidget* loggers_ = nullptr;
  QLineEdit* sn_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  RangeEdit* tempUpper_ = nullptr;
  RangeEdit* tempLower_ = nullptr;
  RangeEdit* humidityUpper_ = nullptr;
  RangeEdit* humidityLower_ = nullptr;
  QPushButton* writeLimits_ = nullptr;
  QLineEdit* interval_ = nullptr;
  QPushButton* writeInterval_ = nullptr;
  // While a command waits: which gateway it waits for (readable on the disabled page).
  ValueLabel* waitStatus_ = nullptr;
};

}  // namespace pages
