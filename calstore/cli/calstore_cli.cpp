// calstore-cli: the calibration-file library from the command line, for bench scripts. It calls
// only the functions of calstore.h.
//
//   calstore-cli create OUT --csv FILE [--type T] [--kind K]
//   calstore-cli index FILE
//   calstore-cli merge DEST SOURCE1 SOURCE2
//   calstore-cli contains FILE CARD TYPE
//   calstore-cli adjust FILE CARD TYPE X [--no-default-offset] [--slope K] [--intercept B]
//   calstore-cli import TARGET DIRECTORY LIST            (LIST such as "3-5;9")
//   calstore-cli import TARGET DIRECTORY --cards 1,2,3 [--no-missing-list]
//   calstore-cli read FILE [--type T] [--json]
//   calstore-cli --version
//
// The exit status is the library's result code (0 success, 101 file missing, 102 bad arguments,
// 103 failure); "contains" exits 1 when the card is not found; a usage error exits 2.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "calstore.h"
#include "tool_version.h"
#include "utf.h"

namespace {

constexpr int kUsage = 2;

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--type" -> "1"; flags map to ""
};

bool IsFlag(const std::string& name) {
  return name == "--json" || name == "--no-default-offset" || name == "--no-missing-list";
}

std::optional<Arguments> Parse(int argc, char** argv) {
  Arguments a;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      if (IsFlag(arg)) {
        a.options[arg] = "";
      } else if (i + 1 < argc) {
        a.options[arg] = argv[++i];
      } else {
        std::fprintf(stderr, "%s needs a value\n", arg.c_str());
        return std::nullopt;
      }
    } else {
      a.positional.push_back(arg);
    }
  }
  return a;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

template <typename T>
std::optional<T> Number(std::string_view text) {
  text = Trim(text);
  T value{};
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t pos = 0;
  for (;;) {
    const size_t end = text.find(separator, pos);
    parts.push_back(text.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (end == std::string_view::npos) return parts;
    pos = end + 1;
  }
}

std::u16string Wide(const std::string& text) { return calstore::Utf8ToUtf16(text); }

// Six significant digits: a corrected value prints as a bench reads it.
std::string FormatFloat(float v) {
  char text[64];
  const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 6);
  return std::string(text, r.ptr);
}

// The shortest text that reads back as the same float: what the file holds, no digit lost and
// none invented.
std::string FormatExact(float v) {
  char text[64];
  const auto r = std::to_chars(text, text + sizeof text, v);
  return std::string(text, r.ptr);
}

// Bytes as text for a message: printable ASCII as it is, every other byte as \xNN.
std::string Printable(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && c != '\\') {
      out.push_back(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    }
  }
  return out;
}

int Report(const char* what, int32_t rc) {
  if (rc != 0) std::fprintf(stderr, "%s: result %d\n", what, rc);
  return rc;
}

uint8_t ByteOption(const Arguments& a, const std::string& name, uint8_t fallback, bool& ok) {
  const auto it = a.options.find(name);
  if (it == a.options.end()) return fallback;
  const auto v = Number<unsigned>(it->second);
  if (!v || *v > 255) {
    std::fprintf(stderr, "%s must be 0..255\n", name.c_str());
    ok = false;
    return fallback;
  }
  return static_cast<uint8_t>(*v);
}

// CSV: a first line "card,REF1,...,REFN", then one line per card "CARD,M1,...,MN"; an empty
// cell or -1000 means no measurement at that point. Blank lines and lines starting with '#' are
// skipped.
int Create(const Arguments& a) {
  bool ok = true;
  const uint8_t type = ByteOption(a, "--type", 0, ok);
  const uint8_t kind = ByteOption(a, "--kind", 0, ok);
  const auto csv = a.options.find("--csv");
  if (!ok || a.positional.size() != 1 || csv == a.options.end()) {
    std::fprintf(stderr, "usage: create OUT --csv FILE [--type T] [--kind K]\n");
    return kUsage;
  }
  std::ifstream in(calstore_cli::Utf8Path(csv->second));
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", csv->second.c_str());
    return kUsage;
  }
  std::vector<float> references;
  std::vector<int32_t> cards;
  std::vector<float> measured;  // 10 per card
  bool header = true;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') continue;
    const auto cells = Split(text, ',');
    if (header) {
      for (size_t i = 1; i < cells.size(); ++i) {
        const auto ref = Number<float>(cells[i]);
        if (!ref) {
          std::fprintf(stderr, "line %d: reference \"%.*s\" is not a number\n", number,
                       int(cells[i].size()), cells[i].data());
          return kUsage;
        }
        references.push_back(*ref);
      }
      if (references.size() > 255) {
        std::fprintf(stderr, "line %d: at most 255 references\n", number);
        return kUsage;
      }
      header = false;
      continue;
    }
    const auto card = Number<int32_t>(cells[0]);
    if (!card || cells.size() > references.size() + 1) {
      std::fprintf(stderr, "line %d: expected a card number and at most %zu values\n", number,
                   references.size());
      return kUsage;
    }
    cards.push_back(*card);
    measured.resize(cards.size() * 10, JZ_NO_VALUE);
    for (size_t i = 1; i < cells.size() && i <= 10; ++i) {
      if (Trim(cells[i]).empty()) continue;
      const auto v = Number<float>(cells[i]);
      if (!v) {
        std::fprintf(stderr, "line %d: value \"%.*s\" is not a number\n", number,
                     int(cells[i].size()), cells[i].data());
        return kUsage;
      }
      measured[(cards.size() - 1) * 10 + (i - 1)] = *v;
    }
  }
  const std::u16string path = Wide(a.positional[0]);
  return Report("create",
                JZCreateFile(path.c_str(), type, references.data(),
                             static_cast<uint8_t>(references.size()), cards.data(),
                             static_cast<int32_t>(cards.size()), measured.data(), kind));
}

int Index(const Arguments& a) {
  if (a.positional.size() != 1) {
    std::fprintf(stderr, "usage: index FILE\n");
    return kUsage;
  }
  return Report("index", JZAnalyFile(Wide(a.positional[0]).c_str()));
}

int Merge(const Arguments& a) {
  if (a.positional.size() != 3) {
    std::fprintf(stderr, "usage: merge DEST SOURCE1 SOURCE2\n");
    return kUsage;
  }
  return Report("merge", JZCombineFiles(Wide(a.positional[0]).c_str(), Wide(a.positional[1]).c_str(),
                                        Wide(a.positional[2]).c_str()));
}

int Contains(const Arguments& a) {
  std::optional<int32_t> card;
  std::optional<unsigned> type;
  if (a.positional.size() == 3) card = Number<int32_t>(a.positional[1]), type = Number<unsigned>(a.positional[2]);
  if (!card || !type || *type > 255) {
    std::fprintf(stderr, "usage: contains FILE CARD TYPE\n");
    return kUsage;
  }
  int32_t offset = 0;
  if (!JZFileContain(Wide(a.positional[0]).c_str(), *card, static_cast<uint8_t>(*type), &offset)) {
    std::printf("0\n");
    return 1;
  }
  std::printf("1 %d\n", offset);
  return 0;
}

int Adjust(const Arguments& a) {
  std::optional<int32_t> card;
  std::optional<unsigned> type;
  std::optional<float> x;
  if (a.positional.size() == 4) {
    card = Number<int32_t>(a.positional[1]);
    type = Number<unsigned>(a.positional[2]);
    x = Number<float>(a.positional[3]);
  }
  std::optional<float> slope, intercept;
  bool ok = true;
  if (a.options.count("--slope")) ok &= (slope = Number<float>(a.options.at("--slope"))).has_value();
  if (a.options.count("--intercept")) {
    ok &= (intercept = Number<float>(a.options.at("--intercept"))).has_value();
  }
  if (!card || !type || *type > 255 || !x || !ok) {
    std::fprintf(stderr,
                 "usage: adjust FILE CARD TYPE X [--no-default-offset] [--slope K] [--intercept B]\n");
    return kUsage;
  }
  const float result = JZAjustData(Wide(a.positional[0]).c_str(), *card, static_cast<uint8_t>(*type), *x,
                                   a.options.count("--no-default-offset") ? 1 : 0,
                                   slope ? &*slope : nullptr, intercept ? &*intercept : nullptr);
  std::printf("%s\n", FormatFloat(result).c_str());
  return 0;
}

// An import refused with 103 because a backup of an earlier import lies beside the target: say
// which file blocks.
int ReportImport(const std::string& target, int32_t rc) {
  if (rc == JZ_FAILURE) {
    const std::string data = target.size() >= 3 && target.compare(target.size() - 3, 3, ".jz") == 0
                                 ? target
                                 : target + ".jz";
    std::error_code ec;
    if (std::filesystem::exists(calstore_cli::Utf8Path(data + ".old"), ec) &&
        std::filesystem::exists(calstore_cli::Utf8Path(data), ec)) {
      std::fprintf(stderr,
                   "import: result 103: %s.old is in the way, a backup that an earlier import left "
                   "beside %s; compare the two, then move one of them away\n",
                   data.c_str(), data.c_str());
      return rc;
    }
  }
  return Report("import", rc);
}

int Import(const Arguments& a) {
  const auto cardsOption = a.options.find("--cards");
  const std::string usage =
      "usage: import TARGET DIRECTORY LIST | import TARGET DIRECTORY --cards 1,2,3 [--no-missing-list]\n";
  if (cardsOption == a.options.end()) {
    if (a.positional.size() != 3) {
      std::fputs(usage.c_str(), stderr);
      return kUsage;
    }
    return ReportImport(a.positional[0],
                        JZImportInfoStr(Wide(a.positional[0]).c_str(),
                                        Wide(a.positional[1]).c_str(),
                                        Wide(a.positional[2]).c_str()));
  }
  std::vector<int32_t> cards;
  for (const std::string_view cell : Split(cardsOption->second, ',')) {
    const auto card = Number<int32_t>(cell);
    if (!card) {
      std::fputs(usage.c_str(), stderr);
      return kUsage;
    }
    cards.push_back(*card);
  }
  if (a.positional.size() != 2) {
    std::fputs(usage.c_str(), stderr);
    return kUsage;
  }
  return ReportImport(a.positional[0],
                      JZImportInfo(Wide(a.positional[0]).c_str(), Wide(a.positional[1]).c_str(),
                                   cards.data(), static_cast<int32_t>(cards.size()),
                                   a.options.count("--no-missing-list") ? 0 : 1));
}

std::string JsonNumber(float v) { return std::isfinite(v) ? FormatExact(v) : "null"; }

int Read(const Arguments& a) {
  bool ok = true;
  const uint8_t type = ByteOption(a, "--type", 0, ok);
  if (!ok || a.positional.size() != 1) {
    std::fprintf(stderr, "usage: read FILE [--type T] [--json]\n");
    return kUsage;
  }
  float* points = nullptr;
  int32_t* cards = nullptr;
  float** values = nullptr;
  uint8_t pointCount = 0;
  uint32_t cardCount = 0;
  uint8_t kind = 0;
  bool kindKnown = false;
  const int32_t rc = JZReadFile(Wide(a.positional[0]).c_str(), type, &points, &pointCount, &cards,
                                &cardCount, &values, &kind);
  if (rc != 0) return Report("read", rc);
  kindKnown = cardCount > 0;
  if (a.options.count("--json")) {
    std::string out = "{\"kind\":" + (kindKnown ? std::to_string(kind) : std::string("null")) +
                      ",\"points\":[";
    for (unsigned j = 0; j < pointCount; ++j) out += (j ? "," : "") + JsonNumber(points[j]);
    out += "],\"cards\":[";
    for (uint32_t c = 0; c < cardCount; ++c) {
      out += (c ? ",{\"card\":" : "{\"card\":") + std::to_string(cards[c]) + ",\"values\":[";
      for (unsigned j = 0; j < pointCount; ++j) {
        out += (j ? "," : "") + (values[c][j] == JZ_NO_VALUE ? std::string("null") : JsonNumber(values[c][j]));
      }
      out += "]}";
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
  } else {
    std::string out = "card";
    for (unsigned j = 0; j < pointCount; ++j) out += "," + FormatExact(points[j]);
    out += "\n";
    for (uint32_t c = 0; c < cardCount; ++c) {
      out += std::to_string(cards[c]);
      for (unsigned j = 0; j < pointCount; ++j) {
        out += ",";
        if (values[c][j] != JZ_NO_VALUE) out += FormatExact(values[c][j]);
      }
      out += "\n";
    }
    std::fputs(out.c_str(), stdout);
  }
  for (uint32_t c = 0; c < cardCount; ++c) JZFreeArray(values[c]);
  JZFreeArray(values);
  JZFreeArray(cards);
  JZFreeArray(points);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments = calstore_cli::Utf8Arguments(argc, argv);
  std::vector<char*> utf8Argv;
  for (std::string& argument : arguments) utf8Argv.push_back(argument.data());
  utf8Argv.push_back(nullptr);
  argv = utf8Argv.data();
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("calstore-cli %s\n", TOOL_VERSION);
    return 0;
  }
  const std::map<std::string, int (*)(const Arguments&)> commands = {
      {"create", Create}, {"index", Index},   {"merge", Merge}, {"contains", Contains},
      {"adjust", Adjust}, {"import", Import}, {"read", Read}};
  const auto command = argc >= 2 ? commands.find(argv[1]) : commands.end();
  if (command == commands.end()) {
    std::fprintf(stderr,
                 "usage: calstore-cli create|index|merge|contains|adjust|import|read ... | --version\n"
                 "  create OUT --csv FILE [--type T] [--kind K]\n"
                 "  index FILE\n"
                 "  merge DEST SOURCE1 SOURCE2\n"
                 "  contains FILE CARD TYPE\n"
                 "  adjust FILE CARD TYPE X [--no-default-offset] [--slope K] [--intercept B]\n"
                 "  import TARGET DIRECTORY LIST | --cards 1,2,3 [--no-missing-list]\n"
                 "  read FILE [--type T] [--json]\n");
    return kUsage;
  }
  const auto args = Parse(argc, argv);
  if (!args) return kUsage;
  // A mistyped option is an error rather than silently ignored.
  const std::map<std::string, std::vector<std::string>> allowed = {
      {"create", {"--csv", "--type", "--kind"}},
      {"adjust", {"--no-default-offset", "--slope", "--intercept"}},
      {"import", {"--cards", "--no-missing-list"}},
      {"read", {"--type", "--json"}}};
  for (const auto& option : args->options) {
    const std::string& name = option.first;
    const auto known = allowed.find(command->first);
    if (known == allowed.end() ||
        std::find(known->second.begin(), known->second.end(), name) == known->second.end()) {
      std::fprintf(stderr, "%s: unknown option %s\n", command->first.c_str(), name.c_str());
      return kUsage;
    }
  }
  // The library takes paths as Unicode text: bytes that are not UTF-8 would name another file.
  const std::map<std::string, std::vector<std::string>> names = {
      {"create", {"OUT"}},
      {"index", {"FILE"}},
      {"merge", {"DEST", "SOURCE1", "SOURCE2"}},
      {"contains", {"FILE", "CARD", "TYPE"}},
      {"adjust", {"FILE", "CARD", "TYPE", "X"}},
      {"import", {"TARGET", "DIRECTORY", "LIST"}},
      {"read", {"FILE"}}};
  for (size_t i = 0; i < args->positional.size(); ++i) {
    const std::string& value = args->positional[i];
    if (calstore::IsValidUtf8(value)) continue;
    const auto& known = names.at(command->first);
    const std::string name = i < known.size() ? known[i] : "argument " + std::to_string(i + 1);
    std::fprintf(stderr,
                 "%s: %s \"%s\" is not valid UTF-8; calstore takes file names as Unicode text "
                 "and cannot name this one\n",
                 command->first.c_str(), name.c_str(), Printable(value).c_str());
    return kUsage;
  }
  return command->second(*args);
}
