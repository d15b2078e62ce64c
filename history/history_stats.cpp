#include "history/history_stats.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

namespace pages::history {

namespace {

constexpr double kMissingMark = -1000.0;

bool IsErr(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() != 3) return false;
  return std::tolower(static_cast<unsigned char>(text[0])) == 'e' &&
         std::tolower(static_cast<unsigned char>(text[1])) == 'r' &&
         std::tolower(static_cast<unsigned char>(text[2])) == 'r';
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t MinuteOf(const CivilTime& t) {
  return (DaysFromCivil(t.year, t.month, t.day) * 24 + t.hour) * 60 + t.minute;
}

// Reads "<digits><mark>" at `at`, moving past it.
std::optional<int> Part(std::string_view text, size_t& at, std::string_view mark) {
  size_t end = at;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  if (end == at || end - at > 4 || text.substr(end, mark.size()) != mark) return std::nullopt;
  int value = 0;
  for (size_t i = at; i < end; ++i) value = value * 10 + (text[i] - '0');
  at = end + mark.size();
  return value;
}

ChannelStats ChannelOf(const std::vector<Reading>& readings, int channel,
                       const ChannelLimits& limits, int64_t interval, bool kinetic) {
  ChannelStats stats;
  stats.limits = limits;
  std::vector<double> values;
  const CivilTime* minTime = nullptr;
  const CivilTime* maxTime = nullptr;
  bool minSeen = false, maxSeen = false;
  int side = 0;  // the run the last valid row was in: +1 above, -1 below, 0 inside
  bool excursionSeen = false;
  double sum = 0;
  for (const Reading& r : readings) {
    if (r.missing[channel]) {
      ++stats.missing;
      continue;
    }
    if (!r.value[channel]) continue;
    const double v = *r.value[channel];
    values.push_back(v);
    sum += v;
    const CivilTime* when = r.time ? &*r.time : nullptr;
    if (!minSeen || v < *stats.min) {
      stats.min = v;
      minTime = when;
      minSeen = true;
    }
    if (!maxSeen || v > *stats.max) {
      stats.max = v;
      maxTime = when;
      maxSeen = true;
    }
    int now = 0;
    if (limits.upper && v > *limits.upper) {
      now = 1;
      ++stats.above;
    } else if (limits.lower && v < *limits.lower) {
      now = -1;
      ++stats.below;
    }
    if (now != 0 && now != side) ++stats.excursions;
    if (now != 0 && !excursionSeen) {
      excursionSeen = true;
      if (when) stats.firstExcursionAt = FormatMinute(*when);
    }
    side = now;
  }
  stats.valid = static_cast<int64_t>(values.size());
  if (minTime) stats.minAt = FormatMinute(*minTime);
  if (maxTime) stats.maxAt = FormatMinute(*maxTime);
  if (!values.empty()) stats.mean = RoundTo2(sum / static_cast<double>(values.size()));
  if (kinetic) {
    if (const auto mkt = MeanKineticTemperature(values)) stats.mkt = RoundTo2(*mkt);
  }
  stats.aboveMinutes = stats.above * interval;
  stats.belowMinutes = stats.below * interval;
  return stats;
}

void DescribeChannel(Values& out, const std::string& name, const ChannelStats& s) {
  auto put = [&](const char* key, Value value) { out.emplace_back(name + "." + key, std::move(value)); };
  put("valid", s.valid);
  put("missing", s.missing);
  if (s.min) put("min", *s.min);
  if (s.min) put("min_at", s.minAt);
  if (s.max) put("max", *s.max);
  if (s.max) put("max_at", s.maxAt);
  if (s.mean) put("mean", *s.mean);
  if (s.mkt) put("mkt", *s.mkt);
  if (s.limits.upper) put("upper", *s.limits.upper);
  if (s.limits.lower) put("lower", *s.limits.lower);
  if (s.limits.upper) {
    put("above", s.above);
    put("above_minutes", s.aboveMinutes);
  }
  if (s.limits.lower) {
    put("below", s.below);
    put("below_minutes", s.belowMinutes);
  }
  if (s.limits.Any()) {
    put("excursions", s.excursions);
    put("first_excursion_at", s.firstExcursionAt);
  }
}

}  // namespace

std::optional<CivilTime> ParseListTime(std::string_view text) {
  size_t at = 0;
  CivilTime t;
  const auto year = Part(text, at, "年");
  const auto month = year ? Part(text, at, "月") : std::nullopt;
  const auto day = month ? Part(text, at, "日") : std::nullopt;
  const auto hour = day ? Part(text, at, "时") : std::nullopt;
  const auto minute = hour ? Part(text, at, "分") : std::nullopt;
  if (!minute || at != text.size()) return std::nullopt;
  t = {*year, *month, *day, *hour, *minute, 0};
  if (!IsRealDateTime(t)) return std::nullopt;
  return t;
}

std::string FormatMinute(const CivilTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute);
  return text;
}

void ReadCell(std::string_view text, std::optional<double>& value, bool& missing) {
  value.reset();
  missing = false;
  if (IsErr(text)) {
    missing = true;
    return;
  }
  const std::optional<double> number = ParseWholeNumber(text);
  if (!number) return;
  if (*number == kMissingMark) {
    missing = true;
    return;
  }
  value = number;
}

Reading ReadingOf(const RecordRow& row) {
  Reading reading;
  if (!row.impossibleTime) reading.time = ParseListTime(row.time);
  for (size_t c = 0; c < 2 && c < row.values.size(); ++c) {
    ReadCell(row.values[c], reading.value[c], reading.missing[c]);
  }
  return reading;
}

std::vector<Reading> ReadingsOf(const std::vector<RecordRow>& rows) {
  std::vector<Reading> readings;
  readings.reserve(rows.size());
  for (const RecordRow& row : rows) readings.push_back(ReadingOf(row));
  return readings;
}

std::optional<double> MeanKineticTemperature(const std::vector<double>& celsius) {
  if (celsius.empty()) return std::nullopt;
  // ln of the mean of e^(-ΔH/(R·T)), through the largest exponent so no term underflows.
  std::vector<double> exponents;
  exponents.reserve(celsius.size());
  for (double c : celsius) {
    const double kelvin = c + kCelsiusZeroKelvin;
    if (!(kelvin > 0)) return std::nullopt;
    exponents.push_back(-kMktActivationKelvin / kelvin);
  }
  const double top = *std::max_element(exponents.begin(), exponents.end());
  double sum = 0;
  for (double e : exponents) sum += std::exp(e - top);
  const double logMean = top + std::log(sum / static_cast<double>(exponents.size()));
  return kMktActivationKelvin / -logMean - kCelsiusZeroKelvin;
}

double RoundTo2(double value) { return std::round(value * 100.0) / 100.0; }

HistoryStats ComputeStats(const std::vector<Reading>& readings, const ReportLimits& limits) {
  HistoryStats stats;
  stats.records = static_cast<int64_t>(readings.size());
  std::map<int64_t, int64_t> steps;
  std::optional<int64_t> previous;
  const CivilTime* first = nullptr;
  const CivilTime* last = nullptr;
  for (const Reading& r : readings) {
    if (r.missing[0] || r.missing[1]) ++stats.missing;
    if (!r.time) continue;
    if (!first) first = &*r.time;
    last = &*r.time;
    const int64_t minute = MinuteOf(*r.time);
    if (previous && minute > *previous) ++steps[minute - *previous];
    previous = minute;
  }
  if (first) stats.first = FormatMinute(*first);
  if (last) stats.last = FormatMinute(*last);
  int64_t most = 0;
  for (const auto& [step, count] : steps) {  // ascending: a tie keeps the shorter step
    if (count > most) {
      most = count;
      stats.intervalMinutes = step;
    }
  }
  stats.temperature = ChannelOf(readings, 0, limits.temperature, stats.intervalMinutes, true);
  stats.humidity = ChannelOf(readings, 1, limits.humidity, stats.intervalMinutes, false);
  return stats;
}

Values Describe(const HistoryStats& stats) {
  Values out{{"records", stats.records},
             {"missing", stats.missing},
             {"first", stats.first},
             {"last", stats.last},
             {"interval_minutes", stats.intervalMinutes}};
  DescribeChannel(out, "temperature", stats.temperature);
  DescribeChannel(out, "humidity", stats.humidity);
  return out;
}

std::optional<Outcome> RefuseLimitOrder(const ChannelLimits& limits, const std::string& upperField,
                                        const std::string& message) {
  if (limits.lower && limits.upper && *limits.upper < *limits.lower) {
    return Outcome::Refused(message, upperField);
  }
  return std::nullopt;
}

}  // namespace pages::history
