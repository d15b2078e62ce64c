#pragma once
// INI files as the Windows private-profile functions read and write them: "[section]" lines and
// "key=value" lines, section and key names in ASCII and matched without regard to case, values
// as raw UTF-8 bytes, no byte-order mark, CR LF written, LF or CR LF read.
//
// IniDocument holds one file in memory, so a caller that writes thousands of keys saves the file
// once. CIniUtf8 is the accessor with the profile functions' shape: each call loads the file,
// and each write saves it (through a temporary file renamed over the old one).
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
  // Loads path into out; a missing file gives an empty document. False when the file exists but
  // cannot be read.
  static bool Load(const std::string& path, IniDocument& out);

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
  bool Save(const std::string& path) const;

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

// A profile file accessor: section and key names in ASCII, values in UTF-16 at this interface
// and UTF-8 in the file. No operation reports an error: a missing file, section or key reads as
// empty; a failed write is ignored (callers that must know use IniDocument).
class CIniUtf8 {
 public:
  explicit CIniUtf8(std::string path) : path_(std::move(path)) {}
  virtual ~CIniUtf8() = default;

  // The value, cut to kIniValueLimit bytes, decoded from UTF-8.
  std::u16string ReadString(std::string_view section, std::string_view key) const;
  void WriteString(std::string_view section, std::string_view key, std::u16string_view value);
  // The section's lines decoded from UTF-8, joined by CR LF, cut as a 102400-byte buffer cuts
  // them.
  std::u16string ReadSection(std::string_view section) const;
  void DeleteSection(std::string_view section);

 private:
  std::string path_;
};

// The text of a value as a 1024-byte read buffer leaves it.
std::string CutToValueLimit(std::string value);

}  // namespace calstore
