// The formatter against the Windows formatter's known outputs.
#include "platform/format.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(Format, ConversionsOfTheReport) {
  EXPECT_EQ(Format("%s=%d", "a", 42), "a=42");
  EXPECT_EQ(Format("%X", 266), "10A");
  EXPECT_EQ(Format("0x%X", 0), "0x0");
  EXPECT_EQ(Format("%02X %02X", 5, 0xAB), "05 AB");
  EXPECT_EQ(Format("%d-%02d-%02d", 1999, 4, 3), "1999-04-03");
  EXPECT_EQ(Format("%08X", 0x10000), "00010000");
  EXPECT_EQ(Format("0x%lX (%d)", 2195, 2195 & 0xFFFF), "0x893 (2195)");
  EXPECT_EQ(Format("%c%c", 'R', ' '), "R ");
  EXPECT_EQ(Format("100%%"), "100%");
  EXPECT_EQ(Format("%%WINDIR%%\\System"), "%WINDIR%\\System");
}

TEST(Format, NumbersAreThirtyTwoBit) {
  EXPECT_EQ(Format("%d", -5), "-5");
  EXPECT_EQ(Format("%X", -1), "FFFFFFFF");
  EXPECT_EQ(Format("%d", 0xFFFFFFFFu), "-1");  // read as a signed 32-bit argument
  EXPECT_EQ(Format("%u", -1), "4294967295");
  EXPECT_EQ(Format("%lX", 0x12345678u), "12345678");
  EXPECT_EQ(Format("%X", 0x1FFFFFFFFLL), "FFFFFFFF");  // only the low 32 bits travel
  EXPECT_EQ(Format("%I64X (%I64d)", 0x123456789LL, 0x123456789LL), "123456789 (4886718345)");
  EXPECT_EQ(Format("%x", 0xABCu), "abc");
}

TEST(Format, WidthsPrecisionAndFlags) {
  EXPECT_EQ(Format("[%5d]", 42), "[   42]");
  EXPECT_EQ(Format("[%-5d]", 42), "[42   ]");
  EXPECT_EQ(Format("[%05d]", -12), "[-0012]");
  EXPECT_EQ(Format("[%-05d]", 7), "[7    ]");  // left alignment drops zero padding
  EXPECT_EQ(Format("[%.3d]", 7), "[007]");
  EXPECT_EQ(Format("[%#X]", 255), "[0XFF]");
  EXPECT_EQ(Format("[%#x]", 255), "[0xff]");
  EXPECT_EQ(Format("[%6s]", "ab"), "[    ab]");
  EXPECT_EQ(Format("[%-6s]", "ab"), "[ab    ]");
  EXPECT_EQ(Format("[%.2s]", "abcdef"), "[ab]");
  EXPECT_EQ(Format("[%3c]", 'x'), "[  x]");
}

TEST(Format, UnknownConversionPrintsItsCharacter) {
  EXPECT_EQ(Format("%q%d", 3), "q3");  // no argument is taken by %q
  EXPECT_EQ(Format("%3q"), "   q");
  EXPECT_EQ(Format("end%"), "end");
  // Its precision counts as the length of the field that is never written.
  EXPECT_EQ(Format("[%5.2q]"), "[   q]");
  EXPECT_EQ(Format("[%2.5q]"), "[q]");
}

TEST(Format, WidthAndPrecisionCountersWrapAt32Bits) {
  EXPECT_EQ(Format("[%4294967297d]", 7), "[7]");    // 2^32 + 1
  EXPECT_EQ(Format("[%.4294967298d]", 7), "[07]");  // 2^32 + 2
}

TEST(Format, ArgumentsCannotBeMisread) {
  EXPECT_EQ(Format("%s", 12), "(null)");
  EXPECT_EQ(Format("%d", "text"), "0");
  EXPECT_EQ(Format("%s %d"), "(null) 0");
  EXPECT_EQ(Format("%s", std::string("abc")), "abc");
}

TEST(Format, OutsideTextIsNeverAFormat) { EXPECT_EQ(Format("%s", "50%s %d %n"), "50%s %d %n"); }

TEST(Format, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(Format("ab%cde", 0), "ab");
  EXPECT_EQ(Format("%s", std::string("ab\0cd", 5)), "ab");
}

TEST(Format, OutputIsCutAt1023Characters) {
  const std::string long1100(1100, 'x');
  EXPECT_EQ(Format("%s", long1100), std::string(1023, 'x'));
  EXPECT_EQ(Format("ab%s", long1100), "ab" + std::string(1021, 'x'));
  EXPECT_EQ(Format(long1100.c_str()).size(), 1023u);
  // A number that does not fit is cut to the room left, like a string.
  const std::string prefix(1020, 'p');
  EXPECT_EQ(Format("%s%d", prefix, 123456), prefix + "123");
  // A width never pads past the end: it is clamped to the room left.
  EXPECT_EQ(Format("%s%20d", prefix, 1), prefix + "  1");
  EXPECT_EQ(Format("%s%s", std::string(1023, 'a'), "more"), std::string(1023, 'a'));
}

}  // namespace
}  // namespace korvane
