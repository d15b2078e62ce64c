#include "cli/server_command.h"

#ifdef _WIN32
#include <io.h>
#include <winsock2.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "cli/json_output.h"
#include "cli/options.h"
#include "server/gateway_commands.h"
#include "server/gateway_server.h"

namespace cli {

namespace {

using gateway::GatewayKey;

constexpr size_t kLineCap = 4096;  // a longer input line is refused, not hoarded

// Bytes of the input as lines: LF ends a line, CR is dropped, a line is cut at kLineCap.
void TakeInput(const char* bytes, size_t size, std::string& partial, std::deque<std::string>& lines) {
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] == '\n') {
      lines.push_back(partial);
      partial.clear();
    } else if (bytes[i] != '\r' && partial.size() < kLineCap) {
      partial += bytes[i];
    }
  }
}

#ifdef _WIN32
// Windows waits on sockets and on standard input with different calls: a thread reads the
// input into lines that the server's loop takes between its short waits. The thread is left
// to the end of the process, which may come while it waits for a line.
class InputReader {
 public:
  explicit InputReader(int input) : shared_(std::make_shared<Shared>()) {
    std::thread([shared = shared_, input] {
      char buffer[1024];
      while (true) {
        const int n = _read(input, buffer, sizeof buffer);
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (n <= 0) {
          if (!shared->partial.empty()) shared->lines.push_back(shared->partial);
          shared->partial.clear();
          shared->open = false;
          return;
        }
        TakeInput(buffer, static_cast<size_t>(n), shared->partial, shared->lines);
      }
    }).detach();
  }
  // Moves the lines read so far to `lines`; false once the input has ended and all are taken.
  bool Take(std::deque<std::string>& lines) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    while (!shared_->lines.empty()) {
      lines.push_back(std::move(shared_->lines.front()));
      shared_->lines.pop_front();
    }
    return shared_->open;
  }

 private:
  struct Shared {
    std::mutex mutex;
    std::deque<std::string> lines;
    std::string partial;
    bool open = true;
  };
  std::shared_ptr<Shared> shared_;
};
#endif

std::string LoggersJson(const std::vector<std::string>& sns) {
  std::string text = "[";
  for (const std::string& sn : sns) text += (text.size() > 1 ? "," : "") + JsonString(sn);
  return text + "]";
}

// The running server with what tool-cli remembers of each gateway: its last logger list.
class ServerSession {
 public:
  ServerSession(std::ostream& out)
      : out_(out), server_(gateway::GatewayServer::Events{
                       [this](const gateway::GatewayInfo& info) { Accepted(info); },
                       [this](GatewayKey key) { Closed(key); }, {},
                       [this](const gateway::CommandReply& reply) { Finished(reply); }, {}}) {}

  gateway::GatewayServer& Server() { return server_; }
  bool Busy() const { return server_.Busy(); }

  // One command line; false for "quit".
  bool Command(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    if (words.empty()) return true;
    const std::string& verb = words[0];
    if (verb == "quit" || verb == "exit") return false;
    if (verb == "list") {
      List();
      return true;
    }
    struct Shape {
      const char* verb;
      size_t words;
      const char* usage;
    };
    static const Shape shapes[] = {
        {"read", 2, "read GATEWAY"},
        {"clear", 2, "clear GATEWAY"},
        {"bind", 3, "bind GATEWAY SN"},
        {"delete", 3, "delete GATEWAY SN"},
        {"interval", 4, "interval GATEWAY SN MIN"},
        {"limits", 7, "limits GATEWAY SN TU TL HU HL"},
    };
    const Shape* shape = nullptr;
    for (const Shape& s : shapes) {
      if (verb == s.verb) shape = &s;
    }
    if (shape == nullptr) {
      return Error(verb, 0, "unknown command (list, read, clear, bind, delete, interval, limits, quit)");
    }
    if (words.size() != shape->words) return Error(verb, 0, std::string("usage: ") + shape->usage);
    const auto key = ParseInteger(words[1], 1, INT64_MAX);
    if (!key || server_.Find(static_cast<GatewayKey>(*key)) == nullptr) {
      return Error(verb, 0, "no gateway " + words[1] + " (see list)");
    }
    const GatewayKey gateway = static_cast<GatewayKey>(*key);
    pages::Result<gateway::GatewayRequest> request = pages::Outcome::Failure("");
    if (verb == "read") {
      request = {"", gateway::ReadRequest()};
    } else if (verb == "clear") {
      request = {"", gateway::ClearRequest()};
    } else if (verb == "bind") {
      request = gateway::BindRequest(words[2], loggers_[gateway].size());
    } else {
      const auto sn = gateway::CheckSn(words[2]);
      if (!sn.ok()) {
        request = sn.outcome;
      } else if (verb == "delete") {
        request = {"", gateway::DeleteRequest(sn.value)};
      } else if (verb == "interval") {
        request = gateway::IntervalRequest(sn.value, words[3]);
      } else {
        request = gateway::LimitsRequest(sn.value, words[3], words[4], words[5], words[6]);
      }
    }
    if (!request.ok()) {
      Print(verb, gateway, request.outcome, nullptr);
      return true;
    }
    pending_ = request.value;
    pendingVerb_ = verb;
    server_.Send(gateway, pending_.command, pending_.bytes);
    return true;
  }

 private:
  void Accepted(const gateway::GatewayInfo& info) {
    loggers_[info.key];
    // The port tells apart two gateways behind one address.
    out_ << "{\"event\":\"connected\",\"gateway\":" << info.key
         << ",\"address\":" << JsonString(info.address) << ",\"port\":" << info.port << "}\n"
         << std::flush;
  }
  void Closed(GatewayKey key) {
    loggers_.erase(key);
    out_ << "{\"event\":\"closed\",\"gateway\":" << key << "}\n" << std::flush;
  }
  void Finished(const gateway::CommandReply& reply) {
    gateway::CommandResult result = gateway::Evaluate(pending_, reply);
    if (result.loggers && loggers_.count(reply.gateway)) loggers_[reply.gateway] = *result.loggers;
    Print(pendingVerb_, reply.gateway, result.outcome,
          result.loggers ? &*result.loggers : nullptr);
  }
  void List() {
    out_ << "{\"command\":\"list\",\"ok\":true,\"gateways\":[";
    bool first = true;
    for (const gateway::GatewayInfo& info : server_.Gateways()) {
      out_ << (first ? "" : ",") << "{\"gateway\":" << info.key
           << ",\"address\":" << JsonString(info.address) << ",\"port\":" << info.port
           << ",\"loggers\":" << LoggersJson(loggers_[info.key]) << "}";
      first = false;
    }
    out_ << "]}\n" << std::flush;
  }
  bool Error(const std::string& verb, GatewayKey gateway, const std::string& message) {
    Print(verb, gateway, pages::Outcome::Failure(message), nullptr);
    return true;
  }
  void Print(const std::string& verb, GatewayKey gateway, const pages::Outcome& outcome,
             const std::vector<std::string>* loggers) {
    std::string json = OutcomeJson(outcome);  // {"ok":..,"message":..,...}
    std::string head = "{\"command\":" + JsonString(verb);
    if (gateway != 0) head += ",\"gateway\":" + std::to_string(gateway);
    if (loggers) head += ",\"loggers\":" + LoggersJson(*loggers);
    out_ << head << "," << json.substr(1) << '\n' << std::flush;
  }

  std::ostream& out_;
  gateway::GatewayServer server_;
  std::map<GatewayKey, std::vector<std::string>> loggers_;
  gateway::GatewayRequest pending_;
  std::string pendingVerb_;
};

}  // namespace

void PrintServerHelp(std::ostream& out) {
  out << "tool-cli server listen [--port N] [--bind ADDRESS]\n"
         "  Serves wireless-logger gateways on ADDRESS (default 0.0.0.0, every local address)\n"
         "  and port N (0..65535, default 11111; 0 lets the system choose). Commands, one per\n"
         "  line on standard input:\n"
         "    list                            the connected gateways and their loggers\n"
         "    read GATEWAY                    read the loggers bound to a gateway\n"
         "    clear GATEWAY                   remove every logger\n"
         "    bind GATEWAY SN                 bind a logger (SN: 4 hex digits, then 5 decimal\n"
         "                                    digits up to 65535, as 12AB34567)\n"
         "    delete GATEWAY SN               remove a logger\n"
         "    interval GATEWAY SN MIN         report interval of a logger, whole minutes 1..255\n"
         "    limits GATEWAY SN TU TL HU HL   alarm limits of a logger: temperature upper and\n"
         "                                    lower -300..1000 °C, humidity upper and lower\n"
         "                                    0..100 %RH, each lower not above its upper\n"
         "    quit                            stop (so does the end of the input)\n"
         "  GATEWAY is the number of the \"connected\" event. Every event and result is one JSON\n"
         "  line; a command waits up to 5 s for its gateway, the lines after it wait their turn.\n";
}

int RunServer(const std::vector<std::string>& words, int input, std::ostream& out,
              std::ostream& err) {
  if (words.empty() || words[0] == "--help" || words[0] == "-h") {
    PrintServerHelp(words.empty() ? err : out);
    return words.empty() ? kExitUsage : kExitOk;
  }
  if (words[0] != "listen") {
    return UsageError(out, "server: unknown verb \"" + words[0] + "\" (listen)");
  }
  ParsedWords parsed;
  std::string error;
  std::string option;
  if (!ParseWords(std::vector<std::string>(words.begin() + 1, words.end()), {"help"}, parsed,
                  &error, {}, &option)) {
    return UsageError(out, "server listen: " + error, option);
  }
  if (parsed.flags.count("help")) {
    PrintServerHelp(out);
    return kExitOk;
  }
  std::string portText = std::to_string(gateway::kDefaultPort);
  std::string address = "0.0.0.0";
  for (const auto& [name, value] : parsed.options) {
    if (name == "port") {
      portText = value;
    } else if (name == "bind") {
      address = value;
    } else {
      return UsageError(out, "server listen: unknown option --" + name, name);
    }
  }
  if (!parsed.plain.empty()) {
    return UsageError(out, "server listen: unexpected word \"" + parsed.plain[0] + "\"");
  }
  const auto port = gateway::CheckPort(portText);
  if (!port.ok()) {
    out << OutcomeJson(port.outcome) << '\n';
    return kExitUsage;
  }

  ServerSession session(out);
  std::string detail;
  const auto listened = session.Server().Listen(port.value, address, &detail);
  if (listened != gateway::GatewayServer::ListenResult::Ok) {
    pages::Outcome failure = pages::Outcome::Failure(
        listened == gateway::GatewayServer::ListenResult::BindFailed ? gateway::kListenFailed
                                                                     : gateway::kSocketInitFailed);
    failure.detail = detail;
    out << OutcomeJson(failure) << '\n';
    return kExitFailed;
  }
  out << "{\"event\":\"listening\",\"address\":" << JsonString(address)
      << ",\"port\":" << session.Server().Port() << "}\n"
      << std::flush;

  // Lines wait while a command is pending; the input is read meanwhile, up to a few lines.
  std::deque<std::string> lines;
  std::string partial;
  bool inputOpen = true;
  bool quit = false;
#ifdef _WIN32
  InputReader reader(input);
#else
  std::vector<pollfd> extra(1);
#endif
  while (!quit) {
#ifdef _WIN32
    inputOpen = reader.Take(lines);
#endif
    while (!lines.empty() && !session.Busy() && !quit) {
      quit = !session.Command(lines.front());
      lines.pop_front();
    }
    if (quit || (!inputOpen && lines.empty() && !session.Busy())) break;
#ifdef _WIN32
    session.Server().PollOnce(std::chrono::milliseconds(50));
#else
    const bool wantInput = inputOpen && lines.size() < 64;
    extra[0] = {wantInput ? input : -1, POLLIN, 0};
    session.Server().PollOnce(std::chrono::milliseconds(500), &extra);
    if (wantInput && extra[0].revents != 0) {
      char buffer[1024];
      const ssize_t n = read(input, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        inputOpen = false;
        if (!partial.empty()) lines.push_back(partial);
        partial.clear();
        continue;
      }
      TakeInput(buffer, static_cast<size_t>(n), partial, lines);
    }
#endif
  }
  session.Server().Stop();
  return kExitOk;
}

}  // namespace cli
