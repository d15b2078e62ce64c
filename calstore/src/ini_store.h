#pragma once
// INI files on disk. The document itself (IniDocument, ini/ini_document.h) is the internal
// library calstore_ini, shared with the program; here it meets calstore's platform layer.
//
// LoadIni / SaveIni read and write a whole IniDocument, so a caller that writes thousands of keys
// saves the file once. CIniUtf8 is the accessor with the profile functions' shape: each call
// loads the file, and each write saves it (through a temporary file renamed over the old one).
#include <string>
#include <string_view>

#include "ini_document.h"

namespace calstore {

// Loads path into out; a missing file gives an empty document. False when the file exists but
// cannot be read.
bool LoadIni(const std::string& path, IniDocument& out);
// Replaces the file at path with the document's text (through a ReplacementFile).
bool SaveIni(const IniDocument& doc, const std::string& path);

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

}  // namespace calstore
