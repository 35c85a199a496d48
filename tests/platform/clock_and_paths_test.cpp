// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/paths.h"

namespace morvale {
namespace {

TEST(TimeOfDayTest, ShowsHoursWithoutPaddingAndDropsWholeDays) {
    EXPECT_EQ(formatTimeOfDay(15301 * kOneSecond), "4:15:01");
    EXPECT_EQ(formatTimeOfDay(207 * kOneSecond), "0:03:27");
    // 90,090 s is 25 h 1 min 30 s: only the time of day shows.
    EXPECT_EQ(formatTimeOfDay(90090 * kOneSecond), "1:01:30");
    EXPECT_EQ(formatTimeOfDay(0), "0:00:00");
}

TEST(TimeOfDayTest, RoundsToTheMillisecondThenDropsTheFraction) {
    EXPECT_EQ(formatTimeOfDay(7207.2 * kOneSecond), "2:00:07");
    EXPECT_EQ(formatTimeOfDay(59.9996 * kOneSecond), "0:01:00");
    EXPECT_EQ(formatTimeOfDay(59.9994 * kOneSecond), "0:00:59");
}

TEST(TimeOfDayTest, NegativeAndNonFiniteValuesStayInTheDay) {
    EXPECT_EQ(formatTimeOfDay(-1 * kOneSecond), "23:59:59");
    EXPECT_EQ(formatTimeOfDay(1.0 / 0.0), "0:00:00");
}

TEST(LocalNowTest, IsADayCountAfter2020) {
    // 2020-01-01 is day 43,831.
    EXPECT_GT(localNowDays(), 43831.0);
}

TEST(PathsTest, SplitsAtEitherSeparatorOrADriveColon) {
    EXPECT_EQ(fileNameOf("D:\\HVDVD_TS\\FEATURE_1.EVO"), "FEATURE_1.EVO");
    EXPECT_EQ(folderOf("D:\\HVDVD_TS\\FEATURE_1.EVO"), "D:\\HVDVD_TS\\");
    EXPECT_EQ(fileNameOf("/disc/HVDVD_TS/FEATURE_1.EVO"), "FEATURE_1.EVO");
    EXPECT_EQ(folderOf("/disc/HVDVD_TS/FEATURE_1.EVO"), "/disc/HVDVD_TS/");
    EXPECT_EQ(fileNameOf("D:movie.vob"), "movie.vob");
    EXPECT_EQ(folderOf("D:movie.vob"), "D:");
    EXPECT_EQ(folderOf("movie.vob"), "");
}

TEST(PathsTest, UpperExtensionComesFromTheLastDotOfTheName) {
    EXPECT_EQ(upperExtension("/a.b/movie.Vob"), ".VOB");
    EXPECT_EQ(upperExtension("/a.b/movie"), "");
    EXPECT_EQ(upperExtension("x.tar.evo"), ".EVO");
}

TEST(PathsTest, TrailingSeparatorFollowsTheFoldersOwnStyle) {
    EXPECT_EQ(withTrailingSeparator(""), "");
    EXPECT_EQ(withTrailingSeparator("E:\\out"), "E:\\out\\");
    EXPECT_EQ(withTrailingSeparator("E:\\out\\"), "E:\\out\\");
    EXPECT_EQ(withTrailingSeparator("/tmp/out"), "/tmp/out/");
    EXPECT_EQ(withTrailingSeparator("out"), "out/");
}

}  // namespace
}  // namespace morvale
