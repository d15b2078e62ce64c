#pragma once
// The program's command line: two optional words, the product variant and a free label, plus
// options ("--port PATH", ...) that are taken out before the two words are read.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Lowest and highest product variant; other numbers are clamped to these.
constexpr int kVariantMin = -2;
constexpr int kVariantMax = 10;

struct VariantAndLabel {
  int variant = 0;
  std::string label;
};

// Reads the variant and the label from the command line text (without the program name).
// Words are separated by blanks; the first converts like atoi (sign, digits, stop at the first
// other character, no digits give 0) and is clamped to kVariantMin..kVariantMax; the second is
// the label, unchanged; further words are ignored.
VariantAndLabel ParseVariantAndLabel(std::string_view commandLine);

struct CommandLine {
  int variant = 0;
  std::string label;
  std::optional<std::string> port;       // --port PATH: preselected serial device
  bool openPort = false;                 // --open: open the preselected port at start
  bool fast = false;                     // --fast: start with "快速" checked
  bool help = false;                     // --help
  bool version = false;                  // --version
  std::optional<std::string> demoShots;  // --demo-shots DIR: scripted screenshot run
  std::optional<std::string> archive;    // --archive PATH: the history archive to use
  std::string error;                     // non-empty: the options could not be read
};

// Takes the options out of the arguments (without the program name), then reads the variant and
// the label from the remaining words joined by blanks. Every word that begins with "--" is an
// option; "--" alone ends the options.
CommandLine ParseArguments(const std::vector<std::string>& args);

// Usage text for --help and for option errors.
std::string UsageText(std::string_view programName);

}  // namespace app
