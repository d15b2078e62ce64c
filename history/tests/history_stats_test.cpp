// Statistics of a record list against values worked out here another way, and reading the
// export files back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "history/history_export.h"
#include "history/history_stats.h"
#include "link/codecs.h"

namespace pages::history {
namespace {

using devlink::Bytes;

std::string ListTime(int minutesFromStart) {
  // 2024-02-28 22:00 plus the minutes: crosses the leap day and the month's end.
  int day = 28, month = 2, hour = 22 + minutesFromStart / 60, minute = minutesFromStart % 60;
  day += hour / 24;
  hour %= 24;
  if (day > 29) {
    day -= 29;
    month = 3;
  }
  char text[64];
  std::snprintf(text, sizeof text, "2024年%02d月%02d日%02d时%02d分", month, day, hour, minute);
  return text;
}

std::string Minute(const std::string& listTime) {
  // "2024年03月01日08时05分" -> "2024-03-01 08:05", by the bytes: each Chinese character is 3.
  return listTime.substr(0, 4) + "-" + listTime.substr(7, 2) + "-" + listTime.substr(12, 2) + " " +
         listTime.substr(17, 2) + ":" + listTime.substr(22, 2);
}

std::string Tenths(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

// 300 rows 5 minutes apart: a warm excursion (rows 100-111, a failed row inside it), a cold one
// (200-205), failed blocks (150-152), a humid spell (40-44) and one row with a clock gap.
struct Day {
  std::vector<RecordRow> rows;
  std::vector<double> temperatures, humidities;  // the valid values, in order
};

Day MakeDay() {
  Day day;
  int minutes = 0;
  for (int i = 0; i < 300; ++i) {
    minutes += i == 250 ? 65 : (i == 0 ? 0 : 5);  // one step of 65 minutes
    double t = 4.0 + (i % 7) * 0.3;                // 4.0 .. 5.8
    double h = 55.0 + (i % 5);                      // 55 .. 59
    if (i >= 100 && i <= 111) t = 8.5 + (i - 100) * 0.1;  // up to 9.6
    if (i >= 200 && i <= 205) t = 1.5 - (i - 200) * 0.2;  // down to 0.5
    if (i >= 40 && i <= 44) h = 76.0 + i - 40;
    if ((i >= 150 && i <= 152) || i == 105) {
      day.rows.push_back({kMissingTime, {"err", "ERR"}});
      continue;
    }
    day.rows.push_back({ListTime(minutes), {Tenths(t), Tenths(h)}});
    day.temperatures.push_back(std::stod(Tenths(t)));
    day.humidities.push_back(std::stod(Tenths(h)));
  }
  return day;
}

TEST(HistoryStats, ADayWithExcursionsAndFailedBlocksAgainstValuesWorkedOutHere) {
  const Day day = MakeDay();
  ReportLimits limits;
  limits.temperature = {2.0, 8.0};
  limits.humidity = {std::nullopt, 75.0};
  const HistoryStats s = ComputeStats(ReadingsOf(day.rows), limits);

  EXPECT_EQ(s.records, 300);
  EXPECT_EQ(s.missing, 4);
  EXPECT_EQ(s.first, "2024-02-28 22:00");
  EXPECT_EQ(s.last, Minute(day.rows.back().time));
  EXPECT_EQ(s.intervalMinutes, 5);

  // Oracle: plain loops over the values kept above.
  auto first = [&](int channel, double value) {
    for (const RecordRow& row : day.rows) {
      if (row.values[channel] != "err" && row.values[channel] != "ERR" &&
          std::stod(row.values[channel]) == value) {
        return Minute(row.time);
      }
    }
    return std::string();
  };
  struct Channel {
    const char* name;
    const ChannelStats& stats;
    const std::vector<double>& values;
    int index;
    std::optional<double> lower, upper;
    int64_t above, below, excursions;
  } channels[] = {
      {"temperature", s.temperature, day.temperatures, 0, 2.0, 8.0, 11, 6, 2},
      {"humidity", s.humidity, day.humidities, 1, std::nullopt, 75.0, 5, 0, 1},
  };
  for (const Channel& c : channels) {
    SCOPED_TRACE(c.name);
    double sum = 0, low = 1e9, high = -1e9;
    int64_t above = 0, below = 0;
    for (double v : c.values) {
      sum += v;
      low = std::min(low, v);
      high = std::max(high, v);
      above += c.upper && v > *c.upper;
      below += c.lower && v < *c.lower;
    }
    EXPECT_EQ(c.stats.valid, 296);
    EXPECT_EQ(c.stats.missing, 4);
    EXPECT_EQ(c.stats.min, low);
    EXPECT_EQ(c.stats.max, high);
    EXPECT_EQ(c.stats.minAt, first(c.index, low));
    EXPECT_EQ(c.stats.maxAt, first(c.index, high));
    EXPECT_DOUBLE_EQ(*c.stats.mean, std::round(sum / 296 * 100) / 100);
    EXPECT_EQ(c.stats.above, above);
    EXPECT_EQ(c.stats.below, below);
    EXPECT_EQ(c.stats.above, c.above);
    EXPECT_EQ(c.stats.below, c.below);
    // The failed row inside the warm spell does not split it.
    EXPECT_EQ(c.stats.excursions, c.excursions);
    EXPECT_EQ(c.stats.aboveMinutes, above * 5);
    EXPECT_EQ(c.stats.belowMinutes, below * 5);
  }
  // Row 100 is the first above 8.0 (8.5); rows 201.. go below 2.0; rows 40.. above 75 %RH.
  EXPECT_EQ(s.temperature.firstExcursionAt, Minute(day.rows[100].time));
  EXPECT_EQ(s.humidity.firstExcursionAt, Minute(day.rows[40].time));
  EXPECT_EQ(s.temperature.maxAt, Minute(day.rows[111].time));
  EXPECT_EQ(s.temperature.minAt, Minute(day.rows[205].time));
  // MKT by the formula term by term, no shortcut.
  double terms = 0;
  for (double v : day.temperatures) terms += std::exp(-10000.0 / (v + 273.15));
  const double mkt = 10000.0 / -std::log(terms / 296) - 273.15;
  EXPECT_DOUBLE_EQ(*s.temperature.mkt, std::round(mkt * 100) / 100);
  EXPECT_FALSE(s.humidity.mkt);
}

TEST(HistoryStats, MeanKineticTemperatureAgainstHandWorkedValues) {
  struct Case {
    std::vector<double> celsius;
    double mkt;  // worked out by hand from the formula
  } cases[] = {
      {{25.0}, 25.00},
      {{20.0, 30.0}, 26.26},          // above the mean 25: warm hours weigh more
      {{2.0, 8.0, 8.0, 25.0}, 15.48},
      {{-20.0, -18.5}, -19.21},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(RoundTo2(*MeanKineticTemperature(c.celsius)), c.mkt) << c.celsius.size();
  }
  EXPECT_FALSE(MeanKineticTemperature({}));
  EXPECT_FALSE(MeanKineticTemperature({20.0, -273.15}));  // no temperature at absolute zero
  // Far below freezing the terms are tiny; the result must still be finite and between them.
  const double cold = *MeanKineticTemperature({-200.0, -190.0});
  EXPECT_GT(cold, -200.0);
  EXPECT_LT(cold, -190.0);
}

TEST(HistoryStats, EdgesOfRunsLimitsTimesAndIntervals) {
  auto rows = [](std::vector<std::pair<std::string, std::string>> cells) {
    std::vector<RecordRow> out;
    for (auto& [time, t] : cells) out.push_back({time, {t, ""}});
    return out;
  };
  // Runs: above, then below directly, then above again: three excursions; equal to a limit is
  // inside.
  const auto flip = rows({{"2024年01月01日00时00分", "9.0"},
                          {"2024年01月01日00时10分", "1.0"},
                          {"2024年01月01日00时20分", "8.0"},
                          {"2024年01月01日00时30分", "2.0"},
                          {"2024年01月01日00时40分", "9.5"},
                          {"2024年01月01日00时45分", "9.5"}});
  const HistoryStats s = ComputeStats(ReadingsOf(flip), {{2.0, 8.0}, {}});
  EXPECT_EQ(s.temperature.excursions, 3);
  EXPECT_EQ(s.temperature.above, 3);
  EXPECT_EQ(s.temperature.below, 1);
  EXPECT_EQ(s.intervalMinutes, 10);  // 10, 10, 10, 10, 5
  EXPECT_EQ(s.temperature.aboveMinutes, 30);
  EXPECT_EQ(s.temperature.maxAt, "2024-01-01 00:40");  // the first of the two 9.5
  EXPECT_EQ(s.temperature.firstExcursionAt, "2024-01-01 00:00");
  // An empty humidity column: no values, nothing missing.
  EXPECT_EQ(s.humidity.valid, 0);
  EXPECT_EQ(s.humidity.missing, 0);
  EXPECT_FALSE(s.humidity.min);
  EXPECT_EQ(s.missing, 0);

  // Only an upper limit: nothing below, one run.
  const HistoryStats upper = ComputeStats(ReadingsOf(flip), {{std::nullopt, 8.0}, {}});
  EXPECT_EQ(upper.temperature.below, 0);
  EXPECT_EQ(upper.temperature.excursions, 2);

  // A tie between steps keeps the shorter one; steps backwards do not count; an impossible time
  // keeps its value but gives no time.
  std::vector<RecordRow> odd = rows({{"2024年01月01日00时00分", "5"},
                                     {"2024年01月01日00时02分", "5"},
                                     {"2024年01月01日00时05分", "5"},
                                     {"2024年01月01日00时01分", "5"},
                                     {"99年99月99日99时99分" + std::string(kImpossibleTimeMark), "-3"}});
  odd.back().impossibleTime = true;
  const HistoryStats o = ComputeStats(ReadingsOf(odd), {});
  EXPECT_EQ(o.intervalMinutes, 2);
  EXPECT_EQ(o.last, "2024-01-01 00:01");
  EXPECT_EQ(o.temperature.min, -3.0);
  EXPECT_EQ(o.temperature.minAt, "");

  // Nothing at all.
  const HistoryStats none = ComputeStats({}, {{2.0, 8.0}, {}});
  EXPECT_EQ(none.records, 0);
  EXPECT_EQ(none.intervalMinutes, 0);
  EXPECT_FALSE(none.temperature.mean);
  EXPECT_EQ(none.temperature.excursions, 0);
}

TEST(HistoryStats, ValuesNameTheChannelsAndOnlyTheLimitsGiven) {
  const Day day = MakeDay();
  const Values values = Describe(ComputeStats(ReadingsOf(day.rows), {{std::nullopt, 8.0}, {}}));
  std::map<std::string, Value> byName(values.begin(), values.end());
  EXPECT_EQ(std::get<int64_t>(byName.at("records")), 300);
  EXPECT_EQ(std::get<int64_t>(byName.at("interval_minutes")), 5);
  EXPECT_EQ(std::get<int64_t>(byName.at("temperature.above_minutes")), 55);
  EXPECT_EQ(std::get<std::string>(byName.at("temperature.first_excursion_at")),
            Minute(day.rows[100].time));
  EXPECT_TRUE(byName.count("temperature.mkt"));
  EXPECT_FALSE(byName.count("temperature.below"));     // no lower limit
  EXPECT_FALSE(byName.count("humidity.excursions"));   // no humidity limits
  EXPECT_FALSE(byName.count("humidity.mkt"));
  EXPECT_EQ(RefuseLimitOrder({5.0, 4.9}, "temp-upper", "x")->field, "temp-upper");
  EXPECT_FALSE(RefuseLimitOrder({5.0, 5.0}, "temp-upper", "x"));
}

TEST(ExportReading, BothWritersReadBackAsTheListShowedThem) {
  std::tm at{};
  at.tm_year = 124;
  at.tm_mon = 2;
  at.tm_mday = 1;
  std::vector<RecordRow> rows{{"2023年05月06日07时08分", {"23.1", "60.0"}},
                              {kMissingTime, {"err", "err"}},
                              {"2023年05月06日07时09分", {"-23.0", "0.5"}}};
  RecordRow impossible{"23-99-06 07:08" + std::string(kImpossibleTimeMark), {"1.0", "2.0"}, true};
  rows.push_back(impossible);

  const auto csv = ParseCsvExport(CsvBytes(rows, at));
  ASSERT_TRUE(csv.ok()) << csv.message();
  EXPECT_EQ(csv.value.rows, rows);
  EXPECT_EQ(csv.value.savedAt, "2024-03-01 00:00:00");

  const auto data = ParseDataExport(RecordDataBytes(rows, 2));
  ASSERT_TRUE(data.ok()) << data.message();
  ASSERT_EQ(data.value.rows.size(), 4u);
  EXPECT_EQ(data.value.rows[0], rows[0]);
  EXPECT_EQ(data.value.rows[1], rows[1]);
  EXPECT_EQ(data.value.rows[2], rows[2]);
  EXPECT_TRUE(data.value.rows[3].impossibleTime);
  EXPECT_EQ(data.value.rows[3].values, rows[3].values);
  // Both give the same statistics.
  const HistoryStats fromCsv = ComputeStats(ReadingsOf(csv.value.rows), {});
  const HistoryStats fromData = ComputeStats(ReadingsOf(data.value.rows), {});
  EXPECT_EQ(fromCsv.temperature.mean, fromData.temperature.mean);
  EXPECT_EQ(fromCsv.missing, 1);
  EXPECT_EQ(fromData.missing, 1);
}

TEST(ExportReading, WhatIsNoExportOfOursIsRefusedNamingTheLine) {
  auto gbk = [](const std::string& utf8) {
    Bytes bytes;
    EXPECT_TRUE(devlink::EncodeDeviceText(devlink::kCodePageOem, utf8, bytes));
    return bytes;
  };
  const std::string head = "文件保存时间：,2024-03-01 00:00:00\r\n序号,时间,温度℃,湿度%RH\r\n";
  const std::string good = "1,2023年05月06日07时08分,23.1,60.0\r\n";
  struct Case {
    std::string text;
    const char* where;
  } cases[] = {
      {"", "第1行"},
      {"a,b,c\r\n", "第1行"},
      {"文件保存时间：,x\r\nNo,Time,T,H\r\n", "第2行"},
      {head + good + "2,2023年05月06日07时09分,23.1\r\n", "第4行"},
      {head + good + "x,2023年05月06日07时09分,23.1,1\r\n", "第4行"},
      {head + good + "2,yesterday,23.1,1\r\n", "第4行"},
      {head + good + "2,2023年05月06日07时09分,warm,1\r\n", "第4行"},
      {head + good + "\r\n" + good, "第4行"},
      {head + good + "2,2023年13月06日07时09分,1,1\r\n", "第4行"},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseCsvExport(gbk(c.text));
    EXPECT_FALSE(parsed.ok()) << c.text;
    EXPECT_NE(parsed.message().find(c.where), std::string::npos) << parsed.message();
  }
  EXPECT_TRUE(ParseCsvExport(gbk(head)).ok());
  EXPECT_TRUE(ParseCsvExport(gbk(head + good)).ok());

  const Bytes data = RecordDataBytes({{"2023年05月06日07时08分", {"1", "2"}},
                                      {"2023年05月06日07时09分", {"1", "2"}}}, 2);
  Bytes shortened(data.begin(), data.end() - 1);
  Bytes badMonth = data;
  badMonth[8 + 32 + 4] = 13;  // the second row's month
  Bytes notANumber = data;
  for (size_t k = 0; k < 4; ++k) notANumber[8 + 24 + k] = 0xFF;  // NaN
  Bytes wrongHead = data;
  wrongHead[0] = 1;
  const std::pair<Bytes, const char*> bad[] = {
      {{}, "文件头"}, {shortened, "文件头"}, {wrongHead, "文件头"},
      {badMonth, "第2条记录"}, {notANumber, "第1条记录"}};
  for (const auto& [bytes, where] : bad) {
    const auto parsed = ParseDataExport(bytes);
    EXPECT_FALSE(parsed.ok());
    EXPECT_NE(parsed.message().find(where), std::string::npos) << parsed.message();
  }
  EXPECT_FALSE(LoadRecords("/nonexistent/x.csv").ok());
  EXPECT_EQ(LoadRecords("/tmp/x.txt").outcome.field, "in");
}

}  // namespace
}  // namespace pages::history
