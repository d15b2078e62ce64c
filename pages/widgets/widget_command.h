#pragma once
// The part of a widget command shared by SnWidget and ClockWidget: with the wait cursor shown,
// build the request through the hook and run it on the chosen channel.
#include <functional>

#include "link/exchange.h"
#include "pages/widgets/page.h"
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

}  // namespace pages
