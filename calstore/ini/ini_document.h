#pragma once
// INI text as the Windows private-profile functions read and write it: "[section]" lines and
// "key=value" lines, section and key names in ASCII and matched without regard to case, values
// as raw UTF-8 bytes, no byte-order mark, CR LF written, LF or CR LF read.
//
// IniDocument holds one file's text in memory and never touches a file itself: calstore loads and
// saves it through its platform layer (src/ini_store.h), the curve calibration page reads the
// card INI files with it. Built as the internal static library calstore_ini, linked into the
// shared library and into the program; it is not part of calstore's installed interface.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace calstore {

// The buffer sizes of the profile functions: a value is read into 1024 bytes (at most 1023 of
// them kept), a section into 102400.
inline constexpr size_t kIniValueLimit = 1023;
inline constexpr size_t kIniSectionBuffer = 102400;

class IniDocument {
 public:
  // Parses text; any byte sequence is accepted.
  static IniDocument Parse(std::string_view text);

  // The value of key in section (blanks around it removed, and one pair of enclosing quotes),
  // uncut; nullopt when the key or the section is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Sets key in section: replaces the first line of that key, or appends one at the end of the
  // section, or appends the section at the end of the document.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every section of that name with all its lines; false when there was none.
  bool DeleteSection(std::string_view section);
  // The non-blank lines of section as "key=value" (or the line itself when it holds no "=").
  std::vector<std::string> SectionLines(std::string_view section) const;

  std::string Serialize() const;

 private:
  struct Line {
    std::string text;  // the line as it stands in the file, without its line end
    std::string key;   // empty for a line that is not "key=value"
    std::string value;
  };
  struct Section {
    std::string header;  // the "[name]" line as written
    std::string name;
    std::vector<Line> lines;
    std::unordered_map<std::string, size_t> keys;  // lower-case key -> first line of that key
  };

  const Section* Find(std::string_view section) const;
  void Reindex();

  std::vector<Line> preamble_;  // lines before the first section
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> sectionIndex_;  // lower-case name -> first section
};

// The entries of a section as a profile-section read into a buffer of `bufferSize` bytes leaves
// them: the lines laid out as NUL-terminated strings one after another, cut where the buffer ends
// (the last one cut short), in order.
std::vector<std::string> SectionEntries(const IniDocument& doc, std::string_view section,
                                        size_t bufferSize);

// The text of a value as a 1024-byte read buffer leaves it.
std::string CutToValueLimit(std::string value);

}  // namespace calstore
