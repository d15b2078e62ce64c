#include "ini_document.h"

#include <algorithm>

namespace calstore {
namespace {

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  std::vector<Line>* target = &doc.preamble_;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const std::string_view trimmed = Trim(raw);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      Section section;
      section.header = std::string(raw);
      section.name = std::string(Trim(trimmed.substr(1, close == std::string_view::npos
                                                            ? std::string_view::npos
                                                            : close - 1)));
      doc.sections_.push_back(std::move(section));
      target = &doc.sections_.back().lines;
      continue;
    }
    Line line;
    line.text = std::string(raw);
    const size_t eq = trimmed.find('=');
    if (eq != std::string_view::npos && !Trim(trimmed.substr(0, eq)).empty()) {
      line.key = std::string(Trim(trimmed.substr(0, eq)));
      line.value = Unquote(Trim(trimmed.substr(eq + 1)));
    }
    target->push_back(std::move(line));
  }
  doc.Reindex();
  return doc;
}

void IniDocument::Reindex() {
  sectionIndex_.clear();
  for (size_t s = 0; s < sections_.size(); ++s) {
    Section& section = sections_[s];
    sectionIndex_.try_emplace(Lower(section.name), s);
    section.keys.clear();
    for (size_t l = 0; l < section.lines.size(); ++l) {
      if (!section.lines[l].key.empty()) section.keys.try_emplace(Lower(section.lines[l].key), l);
    }
  }
}

const IniDocument::Section* IniDocument::Find(std::string_view section) const {
  const auto it = sectionIndex_.find(Lower(section));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const Section* s = Find(section);
  if (!s) return std::nullopt;
  const auto it = s->keys.find(Lower(key));
  if (it == s->keys.end()) return std::nullopt;
  return s->lines[it->second].value;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string lowerSection = Lower(section);
  auto found = sectionIndex_.find(lowerSection);
  if (found == sectionIndex_.end()) {
    Section fresh;
    fresh.name = std::string(section);
    fresh.header = "[" + fresh.name + "]";
    sections_.push_back(std::move(fresh));
    found = sectionIndex_.emplace(lowerSection, sections_.size() - 1).first;
  }
  Section& s = sections_[found->second];
  Line line;
  line.key = std::string(key);
  line.value = std::string(value);
  line.text = line.key + "=" + line.value;
  const std::string lowerKey = Lower(key);
  const auto it = s.keys.find(lowerKey);
  if (it != s.keys.end()) {
    s.lines[it->second] = std::move(line);
    return;
  }
  // A new key goes after the section's last non-blank line, so blank separator lines stay last.
  size_t at = s.lines.size();
  while (at > 0 && Trim(s.lines[at - 1].text).empty()) --at;
  s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
  s.keys.emplace(lowerKey, at);  // only blank lines moved, and they hold no key
}

bool IniDocument::DeleteSection(std::string_view section) {
  const std::string lower = Lower(section);
  const auto before = sections_.size();
  sections_.erase(std::remove_if(sections_.begin(), sections_.end(),
                                 [&](const Section& s) { return Lower(s.name) == lower; }),
                  sections_.end());
  if (sections_.size() == before) return false;
  Reindex();
  return true;
}

std::vector<std::string> IniDocument::SectionLines(std::string_view section) const {
  std::vector<std::string> lines;
  const Section* s = Find(section);
  if (!s) return lines;
  for (const Line& line : s->lines) {
    if (!line.key.empty()) {
      lines.push_back(line.key + "=" + line.value);
    } else if (!Trim(line.text).empty()) {
      lines.emplace_back(Trim(line.text));
    }
  }
  return lines;
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (const Line& line : preamble_) out += line.text + "\r\n";
  for (const Section& s : sections_) {
    out += s.header + "\r\n";
    for (const Line& line : s.lines) out += line.text + "\r\n";
  }
  return out;
}

std::string CutToValueLimit(std::string value) {
  if (value.size() > kIniValueLimit) value.resize(kIniValueLimit);
  return value;
}

std::vector<std::string> SectionEntries(const IniDocument& doc, std::string_view section,
                                        size_t bufferSize) {
  // Lay the entries out as the profile function does: NUL-terminated strings one after another
  // and a final NUL; what does not fit the buffer is cut, ending in two NULs.
  std::string buffer;
  for (const std::string& line : doc.SectionLines(section)) {
    buffer += line;
    buffer.push_back('\0');
  }
  if (bufferSize < 2) return {};
  if (buffer.size() + 1 > bufferSize) {
    buffer.resize(bufferSize - 2);
    buffer.push_back('\0');
  }
  std::vector<std::string> entries;
  size_t pos = 0;
  while (pos < buffer.size()) {
    const size_t end = buffer.find('\0', pos);
    std::string_view entry(buffer.data() + pos,
                           (end == std::string::npos ? buffer.size() : end) - pos);
    if (entry.empty()) break;
    entries.emplace_back(entry);
    pos += entry.size() + 1;
  }
  return entries;
}

}  // namespace calstore
