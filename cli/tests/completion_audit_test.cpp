// Every command of every family can tell when its reply is whole, so fast mode (tool-cli's
// default) ends each read at the reply's last byte instead of waiting out the exchange delay.
// Each verb runs against the simulator with made-up arguments and a long delay; an exchange
// whose reply passed its checks but took most of the delay fell back to the delay. A verb that
// fails in fast mode but passes with the fixed delay had its reply cut short.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <unistd.h>

#include "cli/cli.h"
#include "cli/hex.h"
#include "link/exchange.h"
#include "pages/testing/sim_link.h"
#include "pages/testing/test_delay.h"
#include "sim/families/channel_curves.h"

namespace cli {
namespace {

using Clock = std::chrono::system_clock;

// Exchanges known to wait out the delay, as "page verb: request": the logger's first display
// request over the serial port only prepares the answer (its reply is not read), and the wait
// after it is the logger's time to prepare.
const std::set<std::string> kKnownFallbacks = {"curvecal read-display: 23 30 30 30 71 66"};

// Exchanges as they end: how long each took from its request's write.
class Timing : public devlink::TrafficObserver {
 public:
  struct Seen {
    devlink::TrafficEntry entry;
    std::chrono::milliseconds took;
  };
  void OnExchange(const devlink::TrafficEntry& entry) override {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - entry.time);
    std::lock_guard lock(mutex_);
    seen_.push_back({entry, took});
  }
  std::vector<Seen> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(seen_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

// A value each field accepts, for commands that mostly only read.
std::string SampleValue(const pages::Field& field, const std::string& dir) {
  if (field.name == "mac") return "00:1A:7D:DA:71:13";
  if (field.name == "pairs") return "25.0:24.6";
  if (field.name == "at") return "2024-02-03 07:08:09";
  if (field.name == "number") return "13800138000";
  if (field.name == "out") return dir + "/audit.csv";
  if (field.fallback && !field.fallback->empty()) return *field.fallback;
  switch (field.kind) {
    case pages::FieldKind::Integer:
    case pages::FieldKind::Number:
      if (field.name == "interval") return "60";
      if (field.min <= field.max && (field.min > 1 || field.max < 1)) {
        std::ostringstream text;
        text << field.min;
        return text.str();
      }
      return "1";
    case pages::FieldKind::Switch: return "off";
    case pages::FieldKind::Choice: return field.choices.empty() ? "" : field.choices.front();
    case pages::FieldKind::HexDigits: return std::string(field.digits == 0 ? 1 : field.digits, '1');
    case pages::FieldKind::Ipv4: return "127.0.0.1";
    case pages::FieldKind::Text: return field.anyText ? dir + "/audit.ini" : "A";
    case pages::FieldKind::Phone: return "13800138000";
    case pages::FieldKind::Mac: return "00:1A:7D:DA:71:13";
    case pages::FieldKind::DateTime: return "2024-02-03 07:08:09";
    case pages::FieldKind::DivisorOrMultiple: return "60";
  }
  return "1";
}

pages::Outcome RunOnce(const pages::CommandDef& def, const pages::Args& args,
                       devlink::Channel& channel) {
  try {
    if (def.runWithProgress) return def.runWithProgress(channel, args, {});
    return def.run(channel, args);
  } catch (const std::exception& e) {
    return pages::Outcome::Failure(e.what());
  }
}

TEST(CompletionAuditTest, EveryCommandEndsItsReadWhenTheReplyIsWhole) {
  const int delayMs = pages::testing::TestDelayMs(500);
  const auto fellBack = std::chrono::milliseconds(delayMs * 3 / 4);
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("audit_" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);

  std::vector<std::string> fallbacks, cutShort;
  std::set<std::string> audited, silent;
  size_t exchanges = 0;
  // The instrument a verb talks to: the curve verbs once per instrument kind (the simulator
  // plays one kind's curves at a time), the digital sensor at the one rate it listens at.
  struct Variant {
    std::string suffix;
    int curveKind = -1;
    std::string baud = "115200";
  };
  auto variantsOf = [](const pages::CommandSet& set) {
    std::vector<Variant> variants;
    if (set.page == "curvecal") {
      for (int kind : {0, 1, 2, 3, 4, 5, 6, 7}) variants.push_back({" kind " + std::to_string(kind), kind});
    } else if (set.page == "sensor") {
      variants.push_back({"", -1, "9600"});
    } else {
      variants.push_back({});
    }
    return variants;
  };
  auto start = [&](pages::testing::SimLink& sim, const Variant& variant, bool fast) {
    std::string error;
    if (!sim.StartSerial(&error) || !sim.link.serial.ConfigurePort(variant.baud, &error)) {
      ADD_FAILURE() << error;
      return;
    }
    sim.Device<sim::ChannelCurvesState>(
        [&](sim::ChannelCurvesState& s) { s.kind = variant.curveKind; });
    sim.link.fast = fast;
    sim.link.bluetoothConnected = true;
  };
  for (const pages::CommandSet& set : CommandSets()) {
    for (const pages::CommandDef& def : set.commands) {
      for (const Variant& variant : variantsOf(set)) {
        const std::string name = set.page + " " + def.verb + variant.suffix;
        std::map<std::string, std::string> given;
        for (const pages::Field& field : def.args) {
          if (field.required || field.name == "mac") given[field.name] = SampleValue(field, dir);
        }
        if (variant.curveKind >= 0) given["kind"] = std::to_string(variant.curveKind);
        const auto parsed = pages::ParseArgs(def.args, given);
        if (!std::holds_alternative<pages::Args>(parsed)) {
          silent.insert(name + " (arguments refused)");
          continue;
        }
        const auto& args = std::get<pages::Args>(parsed);
        // A fresh instrument for every verb, so one verb's writes do not steer the next.
        pages::testing::SimLink sim;
        start(sim, variant, true);
        Timing timing;
        sim.link.traffic = &timing;
        sim.link.delayMs = delayMs;
        devlink::LinkChannel channel(sim.link);
        const pages::Outcome fast = RunOnce(def, args, channel);
        bool replied = false;
        for (const Timing::Seen& seen : timing.Take()) {
          ++exchanges;
          if (seen.entry.reply.empty()) continue;
          replied = true;
          const std::string request = FormatHex(seen.entry.request);
          if (seen.entry.failure.empty() && seen.took >= fellBack &&
              !kKnownFallbacks.count(set.page + " " + def.verb + ": " + request)) {
            fallbacks.push_back(name + ": " + request + " took " +
                                std::to_string(seen.took.count()) + " ms");
          }
        }
        (replied ? audited : silent).insert(name);
        if (!fast.ok) {
          // The same verb with the fixed delay, on an instrument as fresh as the first one was.
          pages::testing::SimLink again;
          start(again, variant, false);
          devlink::LinkChannel fixed(again.link);
          const pages::Outcome slow = RunOnce(def, args, fixed);
          if (slow.ok) cutShort.push_back(name + ": fast \"" + fast.message + "\" " + fast.detail);
        }
      }
    }
  }
  std::filesystem::remove_all(dir);
  std::string silentList;
  for (const std::string& name : silent) silentList += "\n  " + name;
  std::cout << "audited " << audited.size() << " verbs, " << exchanges
            << " exchanges; without a reply here:" << silentList << std::endl;
  EXPECT_TRUE(fallbacks.empty()) << ::testing::PrintToString(fallbacks);
  EXPECT_TRUE(cutShort.empty()) << ::testing::PrintToString(cutShort);
  EXPECT_GT(audited.size(), 60u);
}

}  // namespace
}  // namespace cli
