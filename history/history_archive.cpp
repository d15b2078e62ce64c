// The history archive's parts that need no database: where it lives, how an instrument is named,
// the record times it sorts by.
#include "history/history_archive.h"


#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "history/history_export.h"
#include "pages/kit/fields.h"
#include "pages/widgets/sn_clock_protocols.h"
#include "pages/widgets/version_read.h"

namespace pages::history {

namespace {

namespace fs = std::filesystem;

// Reads "digits" then the literal `unit` from `text` at `pos`.
std::optional<int> Part(std::string_view text, size_t& pos, std::string_view unit, size_t maxDigits) {
  size_t digits = 0;
  int value = 0;
  while (pos < text.size() && digits < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos++] - '0');
    ++digits;
  }
  if (digits == 0 || text.substr(pos, unit.size()) != unit) return std::nullopt;
  pos += unit.size();
  return value;
}

std::optional<Moment> MomentOf(const CivilTime& t) {
  if (!IsRealDateTime(t)) return std::nullopt;
  return ((((Moment{t.year} * 100 + t.month) * 100 + t.day) * 100 + t.hour) * 100) + t.minute;
}

}  // namespace

std::string DefaultArchivePath() {
  fs::path base;
#ifdef _WIN32
  const char* appData = std::getenv("LOCALAPPDATA");
  if (appData == nullptr || *appData == '\0') appData = std::getenv("APPDATA");
  if (appData == nullptr || *appData == '\0') return {};
  base = fs::path(appData);
#else
  // XDG_DATA_HOME counts only as an absolute path; anything else means the default.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return {};
    base = fs::path(home) / ".local" / "share";
  }
#endif
  return (base / "tool" / kArchiveFileName).string();
}

std::string ArchiveIdentity::Named() const {
  if (sn.empty()) return {};
  return "SN " + sn + (versions.empty() ? std::string() : "，" + versions);
}

std::string ArchiveIdentity::Instrument() const {
  if (!sn.empty()) return sn;
  return connection + " 地址" + std::to_string(address);
}

namespace {
std::string& ChosenArchivePath() {
  static std::string path;
  return path;
}
}  // namespace

std::string ArchivePath() {
  return ChosenArchivePath().empty() ? DefaultArchivePath() : ChosenArchivePath();
}

void UseArchivePath(std::string path) { ChosenArchivePath() = std::move(path); }

ArchiveIdentity IdentifyInstrument(devlink::Channel& channel, Source source) {
  ArchiveIdentity identity;
  if (const devlink::DeviceLink* link = channel.Link()) {
    identity.connection =
        link->tcpMode ? link->ip + ":" + std::to_string(link->tcpPort) : link->portName;
    identity.address = link->address;
    if (source == Source::Gprs && link->tcpMode) return identity;
  } else {
    identity.address = channel.DeviceAddress();
  }
  const std::optional<SnAndVersions> read = ReadSnAndVersions(channel);
  if (!read) return identity;
  identity.sn = read->sn;
  if (read->versions) {
    identity.versions = "硬件 " + read->versions->hardware + "，软件 " + read->versions->software;
  }
  return identity;
}

std::optional<Moment> MomentOfTime(std::string_view time) {
  size_t pos = 0;
  CivilTime t;
  const auto year = Part(time, pos, "年", 4);
  const auto month = year ? Part(time, pos, "月", 2) : std::nullopt;
  const auto day = month ? Part(time, pos, "日", 2) : std::nullopt;
  const auto hour = day ? Part(time, pos, "时", 2) : std::nullopt;
  const auto minute = hour ? Part(time, pos, "分", 2) : std::nullopt;
  if (!minute || pos != time.size()) return std::nullopt;
  t = {*year, *month, *day, *hour, *minute, 0};
  return MomentOf(t);
}

std::optional<Moment> ParseMoment(std::string_view text) {
  text = TrimBlanks(text);
  // Minutes only: the records carry no seconds.
  if (std::count(text.begin(), text.end(), ':') != 1) return std::nullopt;
  const std::optional<CivilTime> t = ParseDateTime(std::string(text) + ":00");
  if (!t) return std::nullopt;
  return MomentOf(*t);
}

std::string FormatMoment(Moment m) {
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld",
                static_cast<long long>(m / 100000000), static_cast<long long>(m / 1000000 % 100),
                static_cast<long long>(m / 10000 % 100), static_cast<long long>(m / 100 % 100),
                static_cast<long long>(m % 100));
  return text;
}

}  // namespace pages::history
