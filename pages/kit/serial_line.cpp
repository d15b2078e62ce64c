#include "pages/kit/serial_line.h"

namespace pages {

bool LinkSerialLine::Reopen(std::string* errorText) {
  devlink::SerialPort& port = link_.serial;
  // Held throughout, so no other exchange slips in between the close and the new settings.
  auto hold = port.Transaction();
  port.ClosePort();
  if (link_.portName.empty() || !port.OpenPort(link_.portName)) {
    if (errorText) *errorText = kPortReopenFailed;
    return false;
  }
  std::string reason;
  if (!port.ConfigurePort(link_.baudText, &reason)) {
    port.ClosePort();
    if (errorText) *errorText = "串口参数设置失败：" + reason;
    return false;
  }
  return true;
}

void LinkSerialLine::PurgeAll() {
  // Reads and writes on this port finish before they return, so clearing both queues under the
  // port's lock leaves no transfer behind.
  if (!link_.tcpMode) link_.serial.PurgePort();
}

std::unique_ptr<SerialLine> LineBehind(devlink::Channel& channel) {
  if (devlink::DeviceLink* link = channel.Link()) return std::make_unique<LinkSerialLine>(*link);
  return nullptr;
}

}  // namespace pages
