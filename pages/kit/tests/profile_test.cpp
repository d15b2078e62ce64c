// Profiles over a toy page whose instrument is a map: documents refused before anything is
// sent, writes in the declared order, read-back that catches a value the instrument did not
// keep, and the JSON reader the documents go through.
#include "pages/kit/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "pages/kit/json.h"
#include "pages/kit/local_files.h"

namespace pages {
namespace {

// The toy instrument: every exchange is logged as the verb that made it; writes are kept
// unless `keeps` is false (acknowledged, then forgotten) and it stops answering after
// `answers` exchanges.
struct ToyInstrument : devlink::Channel {
  std::map<std::string, double> store{{"interval", 10}, {"lower", -20}, {"upper", 40}, {"ch1", 1},
                                      {"ch2", 2}};
  std::vector<std::string> log;
  bool keeps = true;
  size_t answers = 1000;

  bool Talk(const std::string& what) {
    log.push_back(what);
    return Exchange({}, {}).status == devlink::ExchangeStatus::Ok;
  }
  devlink::ExchangeResult Exchange(devlink::ByteView, const devlink::ReplySpec&) override {
    if (log.size() > answers) return {devlink::ExchangeStatus::NoReply, {}, false, "silent"};
    return {devlink::ExchangeStatus::Ok, {}};
  }
  uint8_t DeviceAddress() const override { return 1; }
  void Set(const std::string& key, double value) {
    if (keeps) store[key] = value;
  }
};

// The channel the page's verbs run on is the toy itself, or the kit's own check channel.
ToyInstrument* Toy(devlink::Channel& channel) { return dynamic_cast<ToyInstrument*>(&channel); }

Outcome Talk(devlink::Channel& channel, const std::string& what) {
  if (ToyInstrument* toy = Toy(channel)) {
    if (toy->Talk(what)) return Outcome::Success("ok");
    return Outcome::Failure("no reply");
  }
  channel.Exchange({}, {});
  return Outcome::Failure("no reply");
}

CommandSet ToyPage() {
  CommandSet set{"toy", "a toy page", {}};
  auto& c = set.commands;
  c.push_back(Verb("read-interval", "", {}, [](devlink::Channel& ch, const Args&) {
    Outcome read = Talk(ch, "read-interval");
    if (read.ok) read.With("interval", static_cast<int64_t>(Toy(ch)->store["interval"]));
    return read;
  }));
  c.push_back(Verb("write-interval", "", {Integer("interval", "", 1, 255)},
                   [](devlink::Channel& ch, const Args& args) {
                     Outcome wrote = Talk(ch, "write-interval");
                     if (wrote.ok) Toy(ch)->Set("interval", static_cast<double>(args.Int("interval")));
                     return wrote;
                   }));
  // Limits arrive as text and the command checks them itself, as the real pages do.
  c.push_back(Verb("read-limits", "", {}, [](devlink::Channel& ch, const Args&) {
    Outcome read = Talk(ch, "read-limits");
    if (read.ok) read.With("lower", Toy(ch)->store["lower"]).With("upper", Toy(ch)->store["upper"]);
    return read;
  }));
  c.push_back(Verb("write-limits", "", {Text("lower", ""), Text("upper", "")},
                   [](devlink::Channel& ch, const Args& args) {
                     const auto lower = ParseWholeNumber(args.Text("lower"));
                     const auto upper = ParseWholeNumber(args.Text("upper"));
                     if (!lower) return Outcome::Refused("下限不是数", "lower");
                     if (!upper) return Outcome::Refused("上限不是数", "upper");
                     if (*lower > *upper) return Outcome::Refused("下限不能高于上限", "lower");
                     Outcome wrote = Talk(ch, "write-limits");
                     if (wrote.ok) {
                       Toy(ch)->Set("lower", *lower);
                       Toy(ch)->Set("upper", *upper);
                     }
                     return wrote;
                   }));
  c.push_back(Verb("read-type", "", {Integer("channel", "", 1, 2)},
                   [](devlink::Channel& ch, const Args& args) {
                     Outcome read = Talk(ch, "read-type " + std::to_string(args.Int("channel")));
                     if (read.ok) {
                       read.With("type", static_cast<int64_t>(
                                             Toy(ch)->store["ch" + std::to_string(args.Int("channel"))]));
                     }
                     return read;
                   }));
  c.push_back(Verb("write-type", "", {Integer("channel", "", 1, 2), Integer("type", "", 1, 9)},
                   [](devlink::Channel& ch, const Args& args) {
                     const std::string key = "ch" + std::to_string(args.Int("channel"));
                     Outcome wrote = Talk(ch, "write-type " + std::to_string(args.Int("channel")));
                     if (wrote.ok) Toy(ch)->Set(key, static_cast<double>(args.Int("type")));
                     return wrote;
                   }));
  AddProfile(set, {{{"read-interval", "write-interval"},
                    {"read-limits", "write-limits"},
                    {"read-type", "write-type", {"channel"}, {{"1"}, {"2"}}}},
                   {}});
  return set;
}

std::string ToyDocument(const std::string& values, const std::string& page = "toy") {
  return R"({"format":"tool-profile","version":1,"page":")" + page + R"(","values":)" + values +
         "}";
}

const char* const kGoodValues =
    R"({"type:2":{"channel":2,"type":7},"limits":{"lower":-5.5,"upper":30},"interval":{"interval":5},)"
    R"("type:1":{"channel":1,"type":3}})";

TEST(ProfileTest, SnapshotReadsEveryGroupAndItsDocumentReadsBack) {
  const CommandSet page = ToyPage();
  ToyInstrument toy;
  Result<Profile> snapshot = TakeSnapshot(page, toy);
  ASSERT_TRUE(snapshot.ok()) << snapshot.message();
  EXPECT_EQ(toy.log, (std::vector<std::string>{"read-interval", "read-limits", "read-type 1",
                                               "read-type 2"}));
  const std::string text = ProfileText(snapshot.value);
  EXPECT_NE(text.find(R"("type:2": {"channel":2,"type":2})"), std::string::npos) << text;
  Result<Profile> reread = ParseProfile(text);
  ASSERT_TRUE(reread.ok()) << reread.outcome.detail;
  EXPECT_EQ(reread.value.page, "toy");
  EXPECT_TRUE(CompareProfiles(snapshot.value, reread.value).empty());
}

// Documents that must be refused before the first exchange, by what is wrong in them.
struct RefusedCase {
  const char* what;
  std::string document;
  const char* message;  // the start of the refusal's message
  const char* named = "";  // the value the refusal names, when it names one
};

TEST(ProfileTest, BadDocumentsAreRefusedWithNothingSent) {
  const RefusedCase cases[] = {
      {"no JSON", "{\"format\":", kProfileMalformed},
      {"another format", R"({"format":"x","version":1,"page":"toy","values":{}})", kProfileMalformed},
      {"a newer version", R"({"format":"tool-profile","version":2,"page":"toy","values":{}})",
       kProfileMalformed},
      {"values no object", ToyDocument("[1]"), kProfileMalformed},
      {"a value that is an object", ToyDocument(R"({"interval":{"interval":{"a":1}}})"),
       kProfileMalformed},
      {"a value named with a dot", ToyDocument(R"({"interval":{"inter.val":5}})"),
       kProfileMalformed},
      {"a group named with a dot", ToyDocument(R"({"inter.val":{"interval":5}})"), kProfileMalformed},
      {"a value with an empty name", ToyDocument(R"({"interval":{"":5}})"), kProfileMalformed},
      {"another page", ToyDocument(kGoodValues, "settings"), kProfileOtherPage},
      {"an unknown group", ToyDocument(R"({"colour":{"colour":1}})"), kProfileBadValue, "colour"},
      {"an unknown value", ToyDocument(R"({"interval":{"interval":5,"speed":1}})"), kProfileBadValue,
       "interval.speed"},
      {"a value missing", ToyDocument(R"({"limits":{"lower":1}})"), kProfileBadValue,
       "limits.upper"},
      {"out of the field's range", ToyDocument(R"({"interval":{"interval":256}})"),
       kProfileBadValue, "interval.interval"},
      {"text for a number", ToyDocument(R"({"interval":{"interval":"five"}})"), kProfileBadValue,
       "interval.interval"},
      {"refused by the command's own check", ToyDocument(R"({"limits":{"lower":50,"upper":30}})"),
       kProfileBadValue, "limits.lower"},
      {"a group named for another channel", ToyDocument(R"({"type:1":{"channel":2,"type":3}})"),
       kProfileBadValue, "type:1"},
      {"a channel the field refuses", ToyDocument(R"({"type:3":{"channel":3,"type":3}})"),
       kProfileBadValue, "type:3.channel"},
  };
  const CommandSet page = ToyPage();
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.what);
    ToyInstrument toy;
    Result<Profile> parsed = ParseProfile(c.document);
    Outcome outcome = parsed.ok() ? ApplyProfile(page, toy, parsed.value, {}) : parsed.outcome;
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message.rfind(c.message, 0), 0u) << outcome.message;
    if (*c.named) {
      ASSERT_FALSE(outcome.values.empty()) << outcome.message;
      EXPECT_EQ(std::get<std::string>(outcome.values.front().second), c.named);
    }
    EXPECT_TRUE(toy.log.empty()) << "sent: " << toy.log.front();
  }
}

TEST(ProfileTest, ApplyWritesInTheDeclaredOrderThenReadsEveryValueBack) {
  const CommandSet page = ToyPage();
  ToyInstrument toy;
  Result<Profile> profile = ParseProfile(ToyDocument(kGoodValues));
  ASSERT_TRUE(profile.ok());
  const Outcome applied = ApplyProfile(page, toy, profile.value, {});
  ASSERT_TRUE(applied.ok) << applied.message;
  EXPECT_EQ(applied.message, kProfileApplied);
  // Pairs in their declared order; the channels of one pair as the document lists them.
  EXPECT_EQ(toy.log, (std::vector<std::string>{"write-interval", "write-limits", "write-type 2",
                                               "write-type 1", "read-interval", "read-limits",
                                               "read-type 2", "read-type 1"}));
  EXPECT_EQ(toy.store["lower"], -5.5);
  EXPECT_EQ(toy.store["ch2"], 7);
}

TEST(ProfileTest, OnlyAndDryRunLimitWhatIsWritten) {
  const CommandSet page = ToyPage();
  Result<Profile> profile = ParseProfile(ToyDocument(kGoodValues));
  ASSERT_TRUE(profile.ok());
  {
    ToyInstrument toy;
    ApplyOptions options;
    options.only = {"type", "interval"};  // a pair's name takes each of its channels
    ASSERT_TRUE(ApplyProfile(page, toy, profile.value, options).ok);
    EXPECT_EQ(toy.store["lower"], -20);
    EXPECT_EQ(toy.store["ch1"], 3);
    EXPECT_EQ(toy.store["interval"], 5);
  }
  {
    ToyInstrument toy;
    ApplyOptions options;
    options.only = {"type:2"};
    ASSERT_TRUE(ApplyProfile(page, toy, profile.value, options).ok);
    EXPECT_EQ(toy.log, (std::vector<std::string>{"write-type 2", "read-type 2"}));
  }
  {
    ToyInstrument toy;
    ApplyOptions options;
    options.only = {"type:9"};
    const Outcome refused = ApplyProfile(page, toy, profile.value, options);
    EXPECT_TRUE(refused.Refusal());
    EXPECT_TRUE(toy.log.empty());
  }
  {
    ToyInstrument toy;
    ApplyOptions options;
    options.dryRun = true;
    const Outcome dry = ApplyProfile(page, toy, profile.value, options);
    ASSERT_TRUE(dry.ok) << dry.message;
    for (const std::string& sent : toy.log) EXPECT_EQ(sent.rfind("read-", 0), 0u) << sent;
    EXPECT_EQ(toy.store["interval"], 10);
    ASSERT_EQ(dry.lists.size(), 2u);
    EXPECT_EQ(dry.lists[0].second.size(), 4u);  // a write per group
    EXPECT_EQ(dry.lists[1].second.size(), 5u);  // interval, lower, upper, type:1, type:2
  }
}

TEST(ProfileTest, ValuesTheInstrumentDidNotKeepFailTheApplyByName) {
  const CommandSet page = ToyPage();
  Result<Profile> profile = ParseProfile(ToyDocument(kGoodValues));
  ASSERT_TRUE(profile.ok());
  ToyInstrument toy;
  toy.keeps = false;
  toy.store["upper"] = 30;  // already as the profile has it: reads back equal
  const Outcome applied = ApplyProfile(page, toy, profile.value, {});
  EXPECT_FALSE(applied.ok);
  EXPECT_FALSE(applied.Refusal());
  EXPECT_EQ(applied.message, std::string(kProfileNotKept) +
                                 "：interval.interval, limits.lower, type:2.type, type:1.type");

  // An instrument that stops answering after two writes: the failure names the group.
  ToyInstrument silent;
  silent.answers = 2;
  const Outcome broken = ApplyProfile(page, silent, profile.value, {});
  EXPECT_FALSE(broken.ok);
  EXPECT_EQ(broken.message.rfind(std::string(kProfileWriteFailed) + "：type:2", 0), 0u)
      << broken.message;
}

TEST(ProfileTest, DiffNamesEachDifferingValueAndTreatsEqualNumbersAsEqual) {
  const auto parse = [](const std::string& values) { return ParseProfile(ToyDocument(values)).value; };
  const Profile a = parse(R"({"interval":{"interval":5},"limits":{"lower":-5,"upper":30}})");
  const Profile b = parse(R"({"interval":{"interval":5.0},"limits":{"lower":"-5.0","upper":31}})");
  const Profile c = parse(R"({"interval":{"interval":5}})");
  EXPECT_TRUE(CompareProfiles(a, a).empty());
  const auto ab = CompareProfiles(a, b);
  ASSERT_EQ(ab.size(), 1u);
  EXPECT_EQ(ab[0].name, "limits.upper");
  const auto ac = CompareProfiles(a, c);
  ASSERT_EQ(ac.size(), 2u);
  EXPECT_FALSE(ac[0].second.has_value());

  const std::string dir = ::testing::TempDir();
  ASSERT_TRUE(ReplaceFile(dir + "/a.json", devlink::Bytes{'{'}));
  const CommandSet profiles = ProfileCommands();
  const Outcome bad = RunVerb(*profiles.Find("diff"), *std::make_unique<ToyInstrument>(),
                              {{"first", dir + "/a.json"}, {"second", dir + "/none.json"}});
  EXPECT_TRUE(bad.Refusal());  // tool-cli: exit 2
  EXPECT_EQ(bad.field, "first");
}

// The reader's documents: what it takes and how it reads it, what it refuses and where.
TEST(JsonReaderTest, TakesJsonAndRefusesTheRestWithTheOffset) {
  struct Case {
    const char* text;
    std::optional<Value> scalar;  // the value of the member "a", when taken
    const char* error = "";       // the start of the refusal
  } cases[] = {
      {R"({"a": 12})", Value(int64_t{12})},
      {R"({"a": -0.5e1})", Value(-5.0)},
      {R"({"a": 9223372036854775808})", Value(9223372036854775808.0)},
      {R"({"a": "\u4e2d\ud83d\ude00\n"})", Value(std::string("中\xF0\x9F\x98\x80\n"))},
      {" {\"a\" : true} \n", Value(true)},
      {R"({"a": "温度"})", Value(std::string("温度"))},
      {R"({"a": 012})", std::nullopt, "malformed number at offset"},
      {R"({"a": 1.})", std::nullopt, "malformed number"},
      {R"({"a": 1e999})", std::nullopt, "number out of range"},
      {R"({"a": "\ud83d"})", std::nullopt, "lone surrogate"},
      {"{\"a\": \"\x01\"}", std::nullopt, "control character"},
      {"{\"a\": \"\xC3\"}", std::nullopt, "text that is not UTF-8"},
      {R"({"a": 1, "a": 2})", std::nullopt, "member \"a\" given twice at offset 9"},
      {R"({"a": 1} x)", std::nullopt, "text after the end"},
      {R"({"a": [1,]})", std::nullopt, "unexpected character"},
      {R"({"a": tru})", std::nullopt, "unexpected character"},
      {R"({"a" 1})", std::nullopt, "expected ':' at offset 5"},
      {"", std::nullopt, "unexpected end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = ParseJson(c.text);
    if (c.scalar) {
      ASSERT_TRUE(std::holds_alternative<JsonNode>(parsed)) << std::get<std::string>(parsed);
      const JsonNode* a = std::get<JsonNode>(parsed).Find("a");
      ASSERT_NE(a, nullptr);
      EXPECT_EQ(a->Scalar(), c.scalar);
    } else {
      ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
      EXPECT_EQ(std::get<std::string>(parsed).rfind(c.error, 0), 0u) << std::get<std::string>(parsed);
    }
  }
  const std::string deep = std::string(100, '[') + std::string(100, ']');
  ASSERT_TRUE(std::holds_alternative<std::string>(ParseJson(deep)));
  EXPECT_EQ(std::get<std::string>(ParseJson(deep)).rfind("nested too deeply", 0), 0u);
}

}  // namespace
}  // namespace pages
