#include "app/command_line.h"

#include <climits>

namespace app {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view StripLeading(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

std::string_view StripBoth(std::string_view text) {
  text = StripLeading(text);
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

// atoi-style conversion that saturates instead of overflowing, so a very long number still
// clamps to the nearest variant.
long long LeadingInteger(std::string_view word) {
  size_t i = 0;
  bool negative = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
    negative = word[i] == '-';
    ++i;
  }
  long long value = 0;
  for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
    if (value < LLONG_MAX / 10) value = value * 10 + (word[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace

VariantAndLabel ParseVariantAndLabel(std::string_view commandLine) {
  VariantAndLabel result;
  std::string_view rest = StripBoth(commandLine);
  int index = 0;
  while (!rest.empty()) {
    size_t blank = 0;
    while (blank < rest.size() && !IsBlank(rest[blank])) ++blank;
    std::string_view word = rest.substr(0, blank);
    rest = StripLeading(rest.substr(blank));
    ++index;
    if (index == 1) {
      long long number = LeadingInteger(word);
      if (number > kVariantMax) {
        result.variant = kVariantMax;
      } else if (number < kVariantMin) {
        result.variant = kVariantMin;
      } else {
        result.variant = static_cast<int>(number);
      }
    } else if (index == 2) {
      result.label = std::string(word);
    }
  }
  return result;
}

CommandLine ParseArguments(const std::vector<std::string>& args) {
  CommandLine result;
  std::string words;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.rfind("--", 0) != 0) {
      if (!words.empty()) words += ' ';
      words += arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg.substr(2);
    std::optional<std::string> value;
    if (size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    const bool takesValue = name == "port" || name == "demo-shots" || name == "archive";
    if (takesValue && !value) {
      if (i + 1 >= args.size()) {
        result.error = "option --" + name + " needs a value";
        continue;
      }
      value = args[++i];
    }
    if (!takesValue && value) {
      result.error = "option --" + name + " takes no value";
      continue;
    }
    if (takesValue && value->empty()) {
      result.error = "option --" + name + " needs a value";
      continue;
    }
    if (name == "port") {
      result.port = *value;
    } else if (name == "demo-shots") {
      result.demoShots = *value;
    } else if (name == "archive") {
      result.archive = *value;
    } else if (name == "open") {
      result.openPort = true;
    } else if (name == "fast") {
      result.fast = true;
    } else if (name == "help") {
      result.help = true;
    } else if (name == "version") {
      result.version = true;
    } else {
      result.error = "unknown option --" + name;
    }
  }
  VariantAndLabel parsed = ParseVariantAndLabel(words);
  result.variant = parsed.variant;
  result.label = std::move(parsed.label);
  return result;
}

std::string UsageText(std::string_view programName) {
  std::string usage = "usage: ";
  usage += programName;
  usage +=
      " [options] [VARIANT [LABEL]]\n"
      "\n"
      "  VARIANT            product variant -2..10 (other numbers are clamped; text gives 0)\n"
      "  LABEL              free text shown in the main window\n"
      "\n"
      "options:\n"
      "  --port PATH        preselect this serial device (for example the simulator's\n"
      "                     pseudo-terminal) in the port list\n"
      "  --open             open the preselected port at start\n"
      "  --fast             take each reply the moment it is whole (\"快速\" checked)\n"
      "  --demo-shots DIR   open the port, read the version and the clock, save a screenshot\n"
      "                     of every tab into DIR and exit\n"
      "  --archive PATH     keep downloads in this history archive (default\n"
      "                     $XDG_DATA_HOME/tool/archive.sqlite3)\n"
      "  --help             show this text\n"
      "  --version          print the version and exit\n";
  return usage;
}

}  // namespace app
