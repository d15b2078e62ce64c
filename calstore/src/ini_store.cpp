#include "ini_store.h"

#include "platform.h"
#include "utf.h"

namespace calstore {

bool LoadIni(const std::string& path, IniDocument& out) {
  if (!Exists(path)) {
    out = IniDocument();
    return true;
  }
  const auto text = ReadWholeFile(path);
  if (!text) return false;
  out = IniDocument::Parse(*text);
  return true;
}

bool SaveIni(const IniDocument& doc, const std::string& path) {
  return WriteFileReplacing(path, doc.Serialize());
}

std::u16string CIniUtf8::ReadString(std::string_view section, std::string_view key) const {
  IniDocument doc;
  if (!LoadIni(path_, doc)) return {};
  return Utf8ToUtf16(CutToValueLimit(doc.Get(section, key).value_or(std::string())));
}

void CIniUtf8::WriteString(std::string_view section, std::string_view key,
                              std::u16string_view value) {
  IniDocument doc;
  if (!LoadIni(path_, doc)) return;
  doc.Set(section, key, Utf16ToUtf8(value));
  SaveIni(doc, path_);
}

std::u16string CIniUtf8::ReadSection(std::string_view section) const {
  IniDocument doc;
  if (!LoadIni(path_, doc)) return {};
  std::u16string result;
  for (const std::string& entry : SectionEntries(doc, section, kIniSectionBuffer)) {
    if (!result.empty()) result += u"\r\n";
    result += Utf8ToUtf16(entry);
  }
  return result;
}

void CIniUtf8::DeleteSection(std::string_view section) {
  IniDocument doc;
  if (!LoadIni(path_, doc)) return;
  if (doc.DeleteSection(section)) SaveIni(doc, path_);
}

}  // namespace calstore
