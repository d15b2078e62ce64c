// Every command set built into tool-cli can be reached: page names and verbs are unique, and no
// verb argument hides behind a connection option.
#include <gtest/gtest.h>

#include <set>

#include "cli/cli.h"
#include "cli/options.h"

namespace cli {
namespace {

TEST(CommandSetsTest, NamesAreUniqueAndReachable) {
  std::set<std::string> pages;
  for (const pages::CommandSet& set : CommandSets()) {
    EXPECT_FALSE(set.page.empty());
    EXPECT_NE(set.page, "raw");
    EXPECT_EQ(set.page.rfind("-", 0), std::string::npos) << set.page;
    EXPECT_TRUE(pages.insert(set.page).second) << "page twice: " << set.page;
    std::set<std::string> verbs;
    for (const pages::CommandDef& def : set.commands) {
      EXPECT_TRUE(verbs.insert(def.verb).second) << set.page << " verb twice: " << def.verb;
      EXPECT_TRUE(static_cast<bool>(def.run)) << set.page << " " << def.verb;
      std::set<std::string> args;
      for (const pages::Field& arg : def.args) {
        EXPECT_EQ(ConnectionOptionNames().count(arg.name), 0u)
            << set.page << " " << def.verb << " --" << arg.name << " is a connection option";
        EXPECT_NE(arg.name, "help") << set.page << " " << def.verb;
        EXPECT_TRUE(args.insert(arg.name).second) << set.page << " " << def.verb << " " << arg.name;
      }
    }
  }
}

}  // namespace
}  // namespace cli
