// Fuzz target: a profile document as a user keeps it and may edit it by hand. The document is
// parsed and checked against the page it names, as apply does before anything is sent. Besides
// crashes and sanitizer reports: a document that parses must write out and parse again to the
// same profile, and checking it must never send anything (the check's channel refuses every
// exchange, so an exchange the check let through would show as a write).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/cli.h"
#include "fuzz/fuzz_channel.h"
#include "pages/kit/profile.h"

namespace {

using fuzzing::Check;

const std::vector<pages::CommandSet>& Sets() {
  static const std::vector<pages::CommandSet> sets = cli::CommandSets();
  return sets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  pages::Result<pages::Profile> parsed = pages::ParseProfile(text);
  if (!parsed.ok()) {
    Check(!parsed.outcome.detail.empty());  // a malformed document says where
    return 0;
  }
  const pages::Result<pages::Profile> again = pages::ParseProfile(pages::ProfileText(parsed.value));
  Check(again.ok());
  Check(pages::CompareProfiles(parsed.value, again.value).empty());
  for (const pages::CommandSet& set : Sets()) {
    if (set.page != parsed.value.page || !set.profile) continue;
    pages::Profile profile = parsed.value;
    const pages::Outcome checked = pages::CheckProfile(set, profile);
    if (checked.ok) {
      for (const pages::ProfileGroup& group : profile.groups) {
        Check(group.pair < set.profile->pairs.size());
      }
    } else {
      Check(checked.Refusal());  // a bad profile is refused, never failed as if sent
    }
  }
  return 0;
}
