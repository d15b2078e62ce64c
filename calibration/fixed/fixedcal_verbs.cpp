// tool-cli verbs of the fixed-table curve calibration page, one per command.
#include <string>
#include <string_view>
#include <vector>

#include "calibration/fixed/fixedcal_commands.h"
#include "pages/kit/profile.h"

namespace pages::fixedcal {

namespace {

Field QuantityField() {
  return Choice("quantity", "the table: temperature (15 points) or humidity (11 points)",
                {"temperature", "humidity"});
}

// "v1,v2,..." as numbers; a part that is not a number refuses the whole list.
std::optional<std::vector<double>> NumberList(std::string_view text) {
  std::vector<double> numbers;
  for (std::string_view part : SplitList(text, ',')) {
    const auto number = ParseWholeNumber(part);
    if (!number) return std::nullopt;
    numbers.push_back(*number);
  }
  return numbers;
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "fixedcal";
  set.help = "curve calibration with fixed tables: temperature and humidity tables, real-time "
             "values, zero-point corrections";
  auto& c = set.commands;
  c.push_back(Verb("read-table", "read the calibrated values of a table", {QuantityField()},
                   [](devlink::Channel& channel, const Args& args) {
                     return ReadTable(channel, QuantityNamed(args.Text("quantity")));
                   }));
  c.push_back(Verb(
      "write-table",
      "write a table: the calibrated values of the raw points -40,-30,..,100 (temperature) or "
      "0,10,..,100 (humidity), in tenths (truncated)",
      {QuantityField(), Text(kFieldValues, "comma-separated calibrated values, one per point")},
      [](devlink::Channel& channel, const Args& args) -> Outcome {
        const auto values = NumberList(args.Text(kFieldValues));
        if (!values) return Outcome::Refused(kNotANumber, kFieldValues);
        return WriteTable(channel, {QuantityNamed(args.Text("quantity")), *values});
      }));
  c.push_back(Verb("read-realtime", "read the current temperature and humidity", {},
                   [](devlink::Channel& channel, const Args&) { return ReadRealTime(channel); }));
  c.push_back(Verb("read-zero", "read the zero-point corrections", {},
                   [](devlink::Channel& channel, const Args&) { return ReadZeroPoint(channel); }));
  c.push_back(Verb("write-zero", "write the zero-point corrections (each -100..100)",
                   {Number(kFieldTemperature, "temperature correction"),
                    Number(kFieldHumidity, "humidity correction")},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteZeroPoint(channel, {args.Number(kFieldTemperature),
                                                     args.Number(kFieldHumidity)});
                   }));
  AddProfile(set, {{{"read-table", "write-table", {"quantity"}, {{"temperature"}, {"humidity"}}},
                    {"read-zero", "write-zero"}}});
  return set;
}

}  // namespace pages::fixedcal
