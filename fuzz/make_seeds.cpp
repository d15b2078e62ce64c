// Writes the seed corpus of the channel-driven fuzz targets (commands, relay, bluetooth, history)
// from the simulator's answers: every verb, adapter command and download is run once per option
// selector against the in-process simulator, and the replies it gave are stored in the targets'
// input layout (fuzz_channel.h). Run it again when a command table changes:
//   build/fuzz/make-fuzz-seeds fuzz/corpus
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli.h"
#include "fuzz/command_runner.h"
#include "history/history_commands.h"
#include "calibration/curves/curvecal_commands.h"
#include "pages/btlogger/btlogger_commands.h"
#include "pages/relay/relay_commands.h"
#include "sim/simulator.h"

namespace {

using devlink::Bytes;

// The simulator's answers, recorded in the input layout.
class Recorder {
 public:
  explicit Recorder(sim::Simulator& simulator) : simulator_(simulator) {}
  Bytes Answer(devlink::ByteView request) {
    Bytes reply = simulator_.Answer(Bytes(request.begin(), request.end()));
    if (reply.size() > devlink::kSerialReadLimit) reply.resize(devlink::kSerialReadLimit);
    replies_.push_back(static_cast<uint8_t>(reply.size() >> 8));
    replies_.push_back(static_cast<uint8_t>(reply.size()));
    replies_.insert(replies_.end(), reply.begin(), reply.end());
    return reply;
  }
  const Bytes& Replies() const { return replies_; }

 private:
  sim::Simulator& simulator_;
  Bytes replies_;
};

class RecordingChannel : public devlink::Channel {
 public:
  explicit RecordingChannel(Recorder& recorder) : recorder_(recorder) {}
  devlink::ExchangeResult Exchange(devlink::ByteView request,
                                   const devlink::ReplySpec& spec) override {
    Bytes reply = recorder_.Answer(request);
    if (reply.size() > spec.capacity) reply.resize(spec.capacity);
    return {devlink::ExchangeStatus::Ok, std::move(reply)};
  }
  uint8_t DeviceAddress() const override { return 1; }

 private:
  Recorder& recorder_;
};

class RecordingAdapterPort : public devlink::AdapterPort {
 public:
  explicit RecordingAdapterPort(Recorder& recorder) : recorder_(recorder) {}
  bool IsOpen() override { return true; }
  void Purge() override {}
  void Write(devlink::ByteView bytes) override { pending_ = recorder_.Answer(bytes); }
  size_t Read(uint8_t* buffer, size_t capacity) override {
    const size_t count = std::min(pending_.size(), capacity);
    std::copy_n(pending_.begin(), count, buffer);
    pending_.clear();
    return count;
  }
  void Sleep(int32_t) override {}

 private:
  Recorder& recorder_;
  Bytes pending_;
};

void Write(const std::filesystem::path& file, const Bytes& head, const Bytes& replies) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  out.write(reinterpret_cast<const char*>(replies.data()),
            static_cast<std::streamsize>(replies.size()));
}

void Verbs(const std::vector<pages::CommandSet>& sets, const std::filesystem::path& folder,
           int selectors) {
  std::filesystem::create_directories(folder);
  const auto verbs = fuzzing::DrivableVerbs(sets);
  for (size_t i = 0; i < verbs.size(); ++i) {
    for (int selector = 0; selector < selectors; ++selector) {
      sim::Simulator simulator;
      Recorder recorder(simulator);
      RecordingChannel channel(recorder);
      const pages::Outcome outcome = pages::RunVerb(
          *verbs[i], channel, fuzzing::ArgumentsFor(*verbs[i], static_cast<uint8_t>(selector)));
      // A verb that sent nothing gives a seed without replies: say why.
      if (recorder.Replies().empty()) {
        std::fprintf(stderr, "%s (selector %d) sent nothing: %s\n", verbs[i]->verb.c_str(),
                     selector, outcome.message.c_str());
      }
      const std::string name = verbs[i]->verb + "-" + std::to_string(i) + "-" + std::to_string(selector);
      Write(folder / name, {static_cast<uint8_t>(i), static_cast<uint8_t>(selector)},
            recorder.Replies());
      // The same with repaired frames (bit 6), which the mutations of its payload then keep.
      Write(folder / (name + "-repaired"),
            {static_cast<uint8_t>(i), static_cast<uint8_t>(selector | 0x40)}, recorder.Replies());
    }
  }
}

void Bluetooth(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  for (int operation = 0; operation < 13; ++operation) {
    sim::Simulator simulator;
    Recorder recorder(simulator);
    RecordingAdapterPort port(recorder);
    // The logger answers once the adapter holds it.
    (void)devlink::ConnectToMac(port, 600, "00:1A:7D:DA:71:13");
    Recorder logger(simulator);
    RecordingChannel channel(logger);
    RecordingAdapterPort loggerPort(logger);
    switch (operation) {
      case 0: (void)devlink::ConnectToMac(loggerPort, 600, "00:1A:7D:DA:71:13"); break;
      case 1: (void)devlink::DisconnectMac(loggerPort, 600, "00:1A:7D:DA:71:13"); break;
      case 2: (void)devlink::AdapterReadMac(loggerPort, 600); break;
      case 3: (void)devlink::AdapterGetConnection(loggerPort, 600); break;
      case 4: case 5: (void)pages::btlogger::ReadConfig(channel); break;
      case 6: (void)pages::btlogger::ClearHistory(channel); break;
      case 7: case 8: (void)pages::btlogger::ReadLoggerSn(channel); break;
      case 9: case 10: (void)pages::btlogger::ReadLoggerClock(channel); break;
      default: {
        pages::curvecal::CurveBuffer buffer;
        (void)pages::curvecal::ReadCurve(
            channel, {pages::curvecal::InstrumentKind::BluetoothLogger, 1, false}, buffer);
      }
    }
    Write(folder / ("operation-" + std::to_string(operation)),
          {static_cast<uint8_t>(operation), 0x03}, logger.Replies());
    Write(folder / ("operation-" + std::to_string(operation) + "-repaired"),
          {static_cast<uint8_t>(operation), 0x23}, logger.Replies());
  }
}

void History(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  sim::Simulator simulator;
  Recorder recorder(simulator);
  RecordingChannel channel(recorder);
  std::atomic<bool> proceed{true};
  pages::history::DownloadEvents events;
  (void)pages::history::Download(channel, nullptr, {}, proceed, events);
  Write(folder / "transmitter", {0x00}, recorder.Replies());
  Write(folder / "transmitter-repaired", {0x10}, recorder.Replies());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-fuzz-seeds CORPUS-FOLDER\n");
    return 2;
  }
  const std::filesystem::path corpus = argv[1];
  Verbs(cli::CommandSets(), corpus / "commands", 2);
  Verbs({pages::relay::Commands()}, corpus / "relay", 4);
  Bluetooth(corpus / "bluetooth");
  History(corpus / "history");
  return 0;
}
