#pragma once
// A page's profile through two simulated instruments: A, set to values of its own, is
// snapshot; the snapshot applied to a fresh B must read back equal, a dry run before must
// change nothing, and the diff of the two snapshots must list the differences before the apply
// and none after it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "pages/kit/profile.h"
#include "pages/testing/sim_link.h"

namespace pages::testing {

// Names of the values that differ, for a failure message.
inline std::string DifferenceNames(const std::vector<ProfileDifference>& differences) {
  std::string names;
  for (const ProfileDifference& difference : differences) names += " " + difference.name;
  return names;
}

class ProfileRoundTrip {
 public:
  ProfileRoundTrip() {
    std::string error;
    started_ = a_.StartSerial(&error) && b_.StartSerial(&error);
    // A reply is taken the moment it is whole, as tool-cli does: a property instrument's 32
    // channels read and written several times over stay quick.
    a_.link.fast = b_.link.fast = true;
    error_ = error;
  }

  SimLink& A() { return a_; }
  SimLink& B() { return b_; }
  devlink::LinkChannel& ChannelA() { return channelA_; }
  devlink::LinkChannel& ChannelB() { return channelB_; }
  // The page's given options (ProfileDef::given) for both instruments.
  GivenOptions given;

  // `prepare` sets instrument A apart from the simulator's defaults (through A's channel or its
  // state); the snapshot of A is then applied to B. Returns A's snapshot.
  Profile Run(const CommandSet& set, const std::function<void(SimLink& a, devlink::Channel&)>& prepare) {
    EXPECT_TRUE(started_) << error_;
    if (!started_) return {};
    prepare(a_, channelA_);
    Result<Profile> snapshotA = TakeSnapshot(set, channelA_, {}, given);
    EXPECT_TRUE(snapshotA.ok()) << snapshotA.message() << " " << snapshotA.outcome.detail;
    Result<Profile> before = TakeSnapshot(set, channelB_, {}, given);
    EXPECT_TRUE(before.ok()) << before.message();
    if (!snapshotA.ok() || !before.ok()) return {};
    EXPECT_FALSE(snapshotA.value.groups.empty());
    EXPECT_FALSE(CompareProfiles(snapshotA.value, before.value).empty())
        << "prepare() left A as B is: the round trip would prove nothing";

    // The document as written and read again is the same profile.
    Result<Profile> reread = ParseProfile(ProfileText(snapshotA.value));
    EXPECT_TRUE(reread.ok()) << reread.message() << " " << reread.outcome.detail;
    EXPECT_TRUE(CompareProfiles(snapshotA.value, reread.value).empty())
        << DifferenceNames(CompareProfiles(snapshotA.value, reread.value));

    ApplyOptions dry;
    dry.dryRun = true;
    dry.given = given;
    const Outcome dryRun = ApplyProfile(set, channelB_, reread.value, dry);
    EXPECT_TRUE(dryRun.ok) << dryRun.message;
    Result<Profile> afterDry = TakeSnapshot(set, channelB_, {}, given);
    EXPECT_TRUE(afterDry.ok() && CompareProfiles(before.value, afterDry.value).empty())
        << "a dry run changed" << DifferenceNames(CompareProfiles(before.value, afterDry.value));

    ApplyOptions apply;
    apply.given = given;
    const Outcome applied = ApplyProfile(set, channelB_, reread.value, apply);
    EXPECT_TRUE(applied.ok) << applied.message << " " << applied.detail;
    Result<Profile> after = TakeSnapshot(set, channelB_, {}, given);
    EXPECT_TRUE(after.ok()) << after.message();
    EXPECT_TRUE(CompareProfiles(snapshotA.value, after.value).empty())
        << "B differs from A after the apply in"
        << DifferenceNames(CompareProfiles(snapshotA.value, after.value));
    return snapshotA.value;
  }

 private:
  SimLink a_;
  SimLink b_;
  bool started_ = false;
  std::string error_;
  devlink::LinkChannel channelA_{a_.link};
  devlink::LinkChannel channelB_{b_.link};
};

}  // namespace pages::testing
