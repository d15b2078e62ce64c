#pragma once
// Statistics of a record list for the question a customer asks of a logger: did the goods stay
// within their limits, and if not, when and for how long? Per channel (temperature, humidity):
// minimum and maximum with the time of their first row, mean, mean kinetic temperature, rows
// above and below the limits, excursions and their minutes. Qt-free; the page, the PDF report
// and tool-cli compute them here.
//
// A value "err" (any case) or -1000 is a failed block's: the row counts as missing and the
// channel's statistics skip it. Missing rows neither end nor start an excursion: the run goes on
// over the valid rows on both sides of them. A row whose time is no real date and time (a failed
// block's "2000年00月00日00时00分", a time marked impossible) keeps its values in the
// statistics; its time is not used for first/last, the interval nor any "_at" time.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_commands.h"
#include "pages/kit/fields.h"
#include "pages/kit/outcome.h"

namespace pages::history {

// ΔH/R of the mean kinetic temperature: 83.144 kJ/mol over 8.3144 J/(mol·K).
inline constexpr double kMktActivationKelvin = 10000.0;
inline constexpr double kCelsiusZeroKelvin = 273.15;

// One channel's alarm limits; either may be absent.
struct ChannelLimits {
  std::optional<double> lower;
  std::optional<double> upper;
  bool Any() const { return lower || upper; }
  bool operator==(const ChannelLimits&) const = default;
};

struct ReportLimits {
  ChannelLimits temperature;
  ChannelLimits humidity;
  bool operator==(const ReportLimits&) const = default;
};

// A row as the statistics read it.
struct Reading {
  std::optional<CivilTime> time;  // absent: not a real date and time
  // Per channel: absent when the row has no such value (an empty cell); `missing` when it is a
  // failed block's "err" / -1000.
  std::optional<double> value[2];
  bool missing[2] = {false, false};
};

struct ChannelStats {
  int64_t valid = 0;    // rows whose value the statistics use
  int64_t missing = 0;  // rows with "err" / -1000 in this channel
  std::optional<double> min, max;  // as recorded
  std::string minAt, maxAt;        // "YYYY-MM-DD HH:MM" of the first such row ("" if it has none)
  std::optional<double> mean;      // rounded to 2 decimals
  std::optional<double> mkt;       // temperature only, °C rounded to 2 decimals
  ChannelLimits limits;
  int64_t above = 0, below = 0;    // rows strictly above the upper / below the lower limit
  int64_t excursions = 0;          // maximal runs of valid rows on one side outside the limits
  int64_t aboveMinutes = 0, belowMinutes = 0;  // those rows times the interval
  std::string firstExcursionAt;    // time of the first row outside the limits ("" if none)
};

struct HistoryStats {
  int64_t records = 0;  // rows
  int64_t missing = 0;  // rows with "err" / -1000 in any channel
  std::string first, last;   // times of the first and last row with a real time
  int64_t intervalMinutes = 0;  // most frequent step between consecutive times (0: none)
  ChannelStats temperature, humidity;
};

// "2023年05月06日07时08分" (the list's time text) as a real date and time, else nothing.
std::optional<CivilTime> ParseListTime(std::string_view text);
// "YYYY-MM-DD HH:MM".
std::string FormatMinute(const CivilTime& time);
// A value cell: "err" (any case) or -1000 is missing; a decimal number is the value; anything
// else (an empty cell) gives no value.
void ReadCell(std::string_view text, std::optional<double>& value, bool& missing);

Reading ReadingOf(const RecordRow& row);
std::vector<Reading> ReadingsOf(const std::vector<RecordRow>& rows);

// The mean kinetic temperature of `celsius` in °C (not rounded); nothing for no values or a
// value at or below absolute zero.
std::optional<double> MeanKineticTemperature(const std::vector<double>& celsius);
// Rounded half away from zero to 2 decimals.
double RoundTo2(double value);

HistoryStats ComputeStats(const std::vector<Reading>& readings, const ReportLimits& limits);

// The JSON values: records, missing, first, last, interval_minutes, then "temperature.*" and
// "humidity.*" (tool-cli prints them as the objects "temperature" and "humidity").
Values Describe(const HistoryStats& stats);

// Checks a channel's limits: the lower one must not lie above the upper one. The refusal is
// `message` naming `upperField`.
std::optional<Outcome> RefuseLimitOrder(const ChannelLimits& limits, const std::string& upperField,
                                        const std::string& message);

}  // namespace pages::history
