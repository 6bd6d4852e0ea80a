// Which streams of a checked file a try decodes.
#include "diag/streams_to_try.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/checked_file_fixture.h"

namespace korvane {
namespace {

using TryVerdictTest = test::CheckedFileTest;

TEST_F(TryVerdictTest, OnlyStreamsThatNeedADecoderAreTried) {
  FileCheck file = CheckFile("b.avi", {test::VideoStream("cvid"), test::AudioStream(0x0001),
                                       test::VideoStream("MJPG"), test::AudioStream(0x0055)});
  EXPECT_EQ(StreamsToTry(file), (std::vector<size_t>{0, 2, 3}));
  EXPECT_EQ(UntriedFinding(file, 1).text, "not tried: needs no decoder");
  EXPECT_EQ(UntriedFinding(file, 1).outcome, TryOutcome::kNotTried);
  // Cut 2048 bytes in, where its movi list has begun but holds no whole frame.
  const std::string whole = test::PaddedAvi({test::VideoStream("MJPG")});
  FileCheck cut = CheckAviFile(machine, ReadInstalledDrivers(machine),
                               scratch.Write("cut.avi", whole.substr(0, 2048 + 12)));
  EXPECT_TRUE(cut.walk.hasMovi);
  EXPECT_TRUE(StreamsToTry(cut).empty());
  EXPECT_EQ(UntriedFinding(cut, 0).text, "not tried: the file holds no frames");
  FileCheck unreadable;
  unreadable.error = "No such file or directory";
  EXPECT_TRUE(StreamsToTry(unreadable).empty());
}

}  // namespace
}  // namespace korvane
