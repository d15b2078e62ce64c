#pragma once
// The part of a widget command shared by SnWidget and ClockWidget: with the wait cursor shown,
// build the request through the hook and run it on the chosen channel, then parse the reply
// through the hook.
#include <functional>
#include <optional>
#include <string>

#include "link/exchange.h"
#include "pages/kit/page.h"
#include "pages/widgets/sn_clock_protocols.h"
#include "ui/wait_cursor.h"

namespace pages {

// `channel` null: the host's link. An empty `build` gives an empty request (nothing is sent).
inline WidgetReply RunHookedCommand(Page& host, devlink::Channel* channel,
                                    WidgetOperation operation,
                                    const std::function<WidgetRequest()>& build,
                                    const WidgetParse& parse) {
  ui::WaitCursor wait;
  devlink::LinkChannel linkChannel(host.Link());
  devlink::Channel& active = channel ? *channel : linkChannel;
  const WidgetRequest request = build ? build() : WidgetRequest{};
  return RunWidgetCommand(active, operation, request, parse);
}

// A widget's parse hook as the exchange step takes it; empty when the hook is.
template <class Widget>
WidgetParse BindParse(Widget& widget,
                      const std::function<WidgetReply(Widget&, devlink::ByteView)>& hook) {
  if (!hook) return {};
  return [&widget, hook](devlink::ByteView reply) { return hook(widget, reply); };
}
template <class Widget>
WidgetParse BindParse(Widget& widget,
                      const std::function<std::string(Widget&, devlink::ByteView)>& hook) {
  if (!hook) return {};
  return [&widget, hook](devlink::ByteView reply) -> WidgetReply {
    std::string error = hook(widget, reply);
    if (!error.empty()) return Outcome::Failure(std::move(error));
    return WidgetReply({}, {});
  };
}

// The read command of a widget through its hooks; nothing when the pre-exchange check stopped it.
template <class Widget>
std::optional<WidgetReply> RunHookedRead(Widget& widget, devlink::Channel* channel) {
  auto& hooks = widget.ProtocolHooks();
  if (hooks.preExchange && !hooks.preExchange(widget)) return std::nullopt;
  std::function<WidgetRequest()> build;
  if (hooks.buildRead) build = [&] { return hooks.buildRead(widget); };
  return RunHookedCommand(widget.Host(), channel, WidgetOperation::Read, build,
                          BindParse(widget, hooks.parseRead));
}

}  // namespace pages
