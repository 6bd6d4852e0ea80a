// Text between code pages, UTF-16 and UTF-8: what the ANSI calls would return for names
// and data held as UTF-16 or UTF-8, and what JSON carries for 8-bit text.
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

enum class From { kUtf16, kUtf8, kAnsi };
constexpr CodePage kLatin1 = CodePage::kLatin1;
constexpr CodePage k1252 = CodePage::kWindows1252;
constexpr CodePage k1251 = static_cast<CodePage>(1251);
constexpr CodePage k437 = static_cast<CodePage>(437);
constexpr CodePage k866 = static_cast<CodePage>(866);
constexpr CodePage k932 = static_cast<CodePage>(932);
constexpr CodePage k936 = static_cast<CodePage>(936);
constexpr CodePage k949 = static_cast<CodePage>(949);
constexpr CodePage k950 = static_cast<CodePage>(950);

struct Case {
  const char* what;
  From from;
  CodePage page;
  std::u16string utf16;  // the text when it comes as UTF-16
  std::string bytes;     // the text when it comes as UTF-8 or 8-bit text
  std::string expected;  // 8-bit text from UTF-16 or UTF-8, UTF-8 from 8-bit text
};

// The UTF-16 text as UTF-8, or nothing when it holds a lone surrogate (which UTF-8 cannot
// carry).
std::optional<std::string> Utf8Of(const std::u16string& units) {
  std::string text;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return std::nullopt;
    }
    AppendUtf8(c, &text);
  }
  return text;
}

std::vector<uint8_t> Utf16Le(const std::u16string& units) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : units) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

std::string Convert(const Case& c) {
  switch (c.from) {
    case From::kUtf16:
      return Utf16ToAnsi(c.utf16, c.page);
    case From::kUtf8:
      return Utf8ToAnsi(c.bytes, c.page);
    case From::kAnsi:
      return TextAsUtf8(c.bytes, c.page);
  }
  return std::string();
}

TEST(TextEncoding, EachConversionFollowsItsCodePage) {
  const std::u16string kLoneHigh(1, 0xD800), kLoneLow(1, 0xDC00);
  const Case kCases[] = {
      // Accented Latin-1 is the same byte in both code pages.
      {"Latin-1 letters", From::kUtf16, kLatin1, u"Caf\u00E9 \u00C9t\u00E9 \u00FF", "",
       "Caf\xE9 \xC9t\xE9 \xFF"},
      {"Latin-1 letters", From::kUtf16, k1252, u"Caf\u00E9 \u00C9t\u00E9 \u00FF", "",
       "Caf\xE9 \xC9t\xE9 \xFF"},
      {"a zero inside", From::kUtf16, kLatin1, std::u16string(u"a\0b", 3), "",
       std::string("a\0b", 3)},
      // Code page 1252 has typographic characters where Latin-1 has C1 controls.
      {"euro sign", From::kUtf16, k1252, u"\u20AC", "", "\x80"},
      {"euro sign", From::kUtf16, kLatin1, u"\u20AC", "", "?"},
      {"en dash", From::kUtf16, k1252, u"Caf\u00E9 Player \u2013 \u00C9t\u00E9 \u20AC", "",
       "Caf\xE9 Player \x96 \xC9t\xE9 \x80"},
      {"en dash", From::kUtf16, kLatin1, u"Caf\u00E9 Player \u2013 \u00C9t\u00E9 \u20AC", "",
       "Caf\xE9 Player ? \xC9t\xE9 ?"},
      {"trade mark", From::kUtf16, k1252, u"Java\u2122", "", "Java\x99"},
      {"trade mark", From::kUtf16, kLatin1, u"Java\u2122", "", "Java?"},
      {"1252's letters", From::kUtf16, k1252, u"\u0152\u0160\u017D\u0192\u0178", "",
       "\x8C\x8A\x8E\x83\x9F"},
      {"C1 controls", From::kUtf16, kLatin1, u"\u0080\u0081\u009F", "", "\x80\x81\x9F"},
      {"C1 controls", From::kUtf16, k1252, u"\u0080\u0081\u009F", "", "???"},
      // Characters neither code page has: one default character each.
      {"Cyrillic", From::kUtf16, k1252, u"\u041F\u0440\u0438\u0432\u0435\u0442", "", "??????"},
      {"Japanese", From::kUtf16, kLatin1, u"\u65E5\u672C.avi", "", "??.avi"},
      {"beyond 16 bits", From::kUtf16, k1252, u"\U0001F3A5x", "", "?x"},
      {"lone high surrogate", From::kUtf16, k1252, kLoneHigh + u"x", "", "?x"},
      {"lone high surrogate last", From::kUtf16, kLatin1, u"x" + kLoneHigh, "", "x?"},
      {"lone low surrogate", From::kUtf16, kLatin1, kLoneLow + u"x", "", "?x"},
      {"surrogates reversed", From::kUtf16, k1252, kLoneLow + kLoneHigh, "", "??"},
      {"two highs, one low", From::kUtf16, kLatin1, kLoneHigh + kLoneHigh + kLoneLow, "", "??"},
      // Other machines' code pages: Cyrillic, and double-byte text never split, with the
      // default character only where the code page has none.
      {"Cyrillic", From::kUtf16, k1251, u"\u041F\u043B\u0435\u0435\u0440 \u2116", "",
       "\xCF\xEB\xE5\xE5\xF0 \xB9"},
      {"Cyrillic without the euro", From::kUtf16, k1251, u"\u00E9\u20AC", "", "?\x88"},
      {"Japanese", From::kUtf16, k932, u"\u65E5\u672C.avi", "", "\x93\xFA\x96\x7B.avi"},
      {"Japanese without Cyrillic", From::kUtf16, k932, u"\u65E5\u0490", "", "\x93\xFA?"},
      {"Chinese", From::kUtf16, k936, u"\u64AD\u653E\u5668", "", "\xB2\xA5\xB7\xC5\xC6\xF7"},
      {"Korean", From::kUtf16, k949, u"\uD50C\uB808\uC774\uC5B4", "",
       "\xC7\xC3\xB7\xB9\xC0\xCC\xBE\xEE"},
      {"Traditional Chinese", From::kUtf16, k950, u"\u64AD\u653E", "", "\xBC\xBD\xA9\xF1"},
      {"beyond 16 bits, double-byte", From::kUtf16, k936, u"\U0001F3A5\u4E2D", "", "?\xD6\xD0"},
      {"lone surrogate, double-byte", From::kUtf16, k932, kLoneHigh + u"\u65E5", "", "?\x93\xFA"},
      // UTF-8 (what hivex hands over) narrowed by the same rule.
      {"UTF-8 letters", From::kUtf8, kLatin1, u"", "caf\xC3\xA9", "caf\xE9"},
      {"UTF-8 euro", From::kUtf8, kLatin1, u"", "\xE2\x82\xAC!", "?!"},
      {"UTF-8 euro", From::kUtf8, k1252, u"", "\xE2\x82\xAC!", "\x80!"},
      {"UTF-8 beyond 16 bits", From::kUtf8, kLatin1, u"", "\xF0\x9F\x98\x80x", "?x"},
      {"stray continuation", From::kUtf8, kLatin1, u"", "\x80x", "?x"},
      {"cut short at the end", From::kUtf8, kLatin1, u"", "a\xC3", "a?"},
      {"cut short, three bytes", From::kUtf8, k1252, u"", "a\xE2\x82", "a?"},
      {"cut short, then text", From::kUtf8, k1252, u"", "\xE2\x82x", "?x"},
      {"overlong", From::kUtf8, kLatin1, u"", "\xC0\x80", "??"},
      {"encoded surrogate", From::kUtf8, kLatin1, u"", "\xED\xA0\x80", "???"},
      {"beyond U+10FFFF", From::kUtf8, kLatin1, u"", "\xF4\x90\x80\x80", "????"},
      {"never a lead byte", From::kUtf8, k1252, u"", "\xFF\xFE", "??"},
      // 8-bit text for JSON: UTF-8 kept, every other byte the code page's character.
      {"plain", From::kAnsi, kLatin1, u"", "plain.avi", "plain.avi"},
      {"controls", From::kAnsi, kLatin1, u"", std::string("a\nb\0\x7f", 5),
       std::string("a\nb\0\x7f", 5)},
      {"UTF-8 kept", From::kAnsi, kLatin1, u"", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA5",
       "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA5"},
      {"8-bit ANSI", From::kAnsi, kLatin1, u"", "caf\xE9.avi", "caf\xC3\xA9.avi"},
      {"cut short", From::kAnsi, kLatin1, u"", "\xC3", "\xC3\x83"},
      {"cut short after one", From::kAnsi, kLatin1, u"", "\xC3\xA9\xC3", "\xC3\xA9\xC3\x83"},
      {"overlong", From::kAnsi, kLatin1, u"", "\xC0\x80", "\xC3\x80\xC2\x80"},
      {"surrogate", From::kAnsi, kLatin1, u"", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
      {"too high", From::kAnsi, kLatin1, u"", "\xF4\x90\x80\x80",
       "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
      {"never UTF-8", From::kAnsi, kLatin1, u"", "\xFF\xFE", "\xC3\xBF\xC3\xBE"},
      {"1252 euro and dash", From::kAnsi, k1252, u"", "\x80 \x96 \x99",
       "\xE2\x82\xAC \xE2\x80\x93 \xE2\x84\xA2"},
      {"1252 without a character", From::kAnsi, k1252, u"", "\x81", "\xEF\xBF\xBD"},
      {"1252 Latin-1 half", From::kAnsi, k1252, u"", "caf\xE9", "caf\xC3\xA9"},
      {"1251 Cyrillic", From::kAnsi, k1251, u"", "\xCF\xEB\xE5\xE5\xF0",
       "\xD0\x9F\xD0\xBB\xD0\xB5\xD0\xB5\xD1\x80"},
      {"932 text", From::kAnsi, k932, u"", "\x93\xFA\x96\x7B.avi", "\xE6\x97\xA5\xE6\x9C\xAC.avi"},
      {"932 lead byte cut short", From::kAnsi, k932, u"", "a\x93", "a\xEF\xBF\xBD"},
      {"936 pair that looks like UTF-8", From::kAnsi, k936, u"", "\xD1\xA7\xC9\xFA",
       "\xE5\xAD\xA6\xE7\x94\x9F"},
      {"936 text that is UTF-8", From::kAnsi, k936, u"", "caf\xC3\xA9", "caf\xC3\xA9"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.what) + " (" + std::to_string(static_cast<uint32_t>(c.page)) + ")");
    EXPECT_EQ(Convert(c), c.expected);
    if (c.from != From::kUtf16) continue;
    // Stored UTF-16LE and the same text as UTF-8 narrow to the same bytes.
    const std::vector<uint8_t> le = Utf16Le(c.utf16);
    EXPECT_EQ(Utf16LeToAnsi(le.data(), c.utf16.size(), c.page), c.expected);
    if (const auto utf8 = Utf8Of(c.utf16)) {
      EXPECT_EQ(Utf8ToAnsi(*utf8, c.page), c.expected);
    }
  }
}

// Every character a single-byte code page has comes back as its byte: the two directions
// agree. Which bytes have none is the code page's own affair (1252 has five, 1251 one).
TEST(TextEncoding, EveryByteOfACodePageRoundTrips) {
  const struct {
    CodePage page;
    int withoutCharacter;
  } kPages[] = {{kLatin1, 0}, {k1252, 5}, {k1251, 1}, {k437, 0}, {k866, 0}};
  for (const auto& p : kPages) {
    int without = 0;
    for (int byte = 0; byte < 256; ++byte) {
      const char32_t c = CodePointFromAnsi(static_cast<unsigned char>(byte), p.page);
      SCOPED_TRACE("code page " + std::to_string(static_cast<uint32_t>(p.page)) + ", byte " +
                   std::to_string(byte));
      if (c == 0xFFFD) {
        ++without;
        continue;
      }
      EXPECT_EQ(AnsiFromCodePoint(c, p.page), std::string(1, static_cast<char>(byte)));
    }
    EXPECT_EQ(without, p.withoutCharacter) << static_cast<uint32_t>(p.page);
  }
}

// In a double-byte code page a lead byte alone is no character, and a character is two
// bytes both ways.
TEST(TextEncoding, DoubleByteCharactersAreTwoBytesBothWays) {
  const struct {
    CodePage page;
    char32_t codePoint;
    std::string bytes;
  } kCases[] = {
      {k932, 0x65E5, "\x93\xFA"},  // 日
      {k932, 0xFF76, "\xB6"},      // half-width katakana: one byte
      {k936, 0x4E2D, "\xD6\xD0"},  // 中
      {k936, 0x5B66, "\xD1\xA7"},  // 学
      {k949, 0xD55C, "\xC7\xD1"},  // 한
      {k950, 0x4E2D, "\xA4\xA4"},  // 中
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(static_cast<uint32_t>(c.page)) + " U+" +
                 std::to_string(c.codePoint));
    EXPECT_TRUE(IsDoubleByteCodePage(c.page));
    EXPECT_EQ(AnsiFromCodePoint(c.codePoint, c.page), c.bytes);
    std::string utf8;
    AppendUtf8(c.codePoint, &utf8);
    EXPECT_EQ(AnsiToUtf8(c.bytes, c.page), utf8);
    if (c.bytes.size() == 2) {
      EXPECT_EQ(CodePointFromAnsi(static_cast<unsigned char>(c.bytes[0]), c.page), 0xFFFDu);
    }
  }
  EXPECT_FALSE(IsDoubleByteCodePage(k1252));
  EXPECT_FALSE(IsDoubleByteCodePage(k1251));
}

// A path in a code page splits at the backslashes that are characters of their own: in a
// double-byte code page a character's second byte may be 0x5C, which then is no separator.
TEST(TextEncoding, PathsSplitOnlyAtBackslashesThatAreCharacters) {
  using Parts = std::vector<std::string>;
  const struct {
    CodePage page;
    std::string path;
    Parts parts;
  } kCases[] = {
      {k932, "Software\\\x95\x5C\\x", {"Software", "\x95\x5C", "x"}},        // 表
      {k932, "\x83\x5C\x83t\x83g\x95\x5C", {"\x83\x5C\x83t\x83g\x95\x5C"}},  // ソフト表
      {k932, "\xB6\\\xB6", {"\xB6", "\xB6"}},  // half-width katakana: one byte each
      {k932, "a\\\\b\\", {"a", "b"}},          // empty names left out
      {k932, "\x95", {"\x95"}},                // a lead byte at the end stands alone
      {k932, "\x95\"\\x", {"\x95\"", "x"}},    // and before a byte below 0x40
      {k950, "\xA5\x5C\\\xB3\x5C", {"\xA5\x5C", "\xB3\x5C"}},  // 功, 許
      {k936, "\xD4\x5C\\b", {"\xD4\x5C", "b"}},
      {k949, "\xC7\xD1\\b", {"\xC7\xD1", "b"}},
      // A single-byte code page: every 0x5C separates, whatever comes before it.
      {k1252, "\x95\x5C\\x", {"\x95", "x"}},
      {k1251, "\xC2\\x", {"\xC2", "x"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(static_cast<uint32_t>(c.page)) + " " + c.path);
    const LeadBytes leads(c.page);
    EXPECT_EQ(leads.SplitPath(c.path), c.parts);
    const size_t slash = leads.Find(c.path, '\\');
    EXPECT_EQ(slash == std::string::npos ? c.path : c.path.substr(0, slash), c.parts.front());
  }
  // The lead bytes are the code page's own: Shift-JIS from 0x81 to 0x9F and 0xE0 to 0xFC.
  const LeadBytes shiftJis(k932);
  for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
    const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    EXPECT_EQ(shiftJis.Has(static_cast<unsigned char>(byte)), lead) << byte;
  }
  EXPECT_FALSE(LeadBytes(k1252).Has(0x95));
  EXPECT_FALSE(LeadBytes().Has(0x95));
}

TEST(TextEncoding, CodePagesAreNamedByTheirNumbers) {
  EXPECT_EQ(CodePageNamed("1252"), k1252);
  EXPECT_EQ(CodePageNamed("932"), k932);
  EXPECT_EQ(CodePageNamed("28591"), kLatin1);
  for (const char* bad : {"", "0", "12x", "-1252", "999999", "1", "65535"}) {
    EXPECT_EQ(CodePageNamed(bad), std::nullopt) << bad;
  }
}

TEST(TextEncoding, Utf8SequencesAreReadWholeOrNotAtAll) {
  const struct {
    std::string text;
    size_t length;
    char32_t codePoint;
  } kCases[] = {
      {"A", 1, U'A'},
      {"\xC3\xA9", 2, 0xE9},
      {"\xE2\x82\xAC", 3, 0x20AC},
      {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
      {"\xC3", 0, 0},
      {"\xC3Z", 0, 0},
      {"\xE0\x9F\xBF", 0, 0},
      {"\xED\xBF\xBF", 0, 0},
      {"\x80", 0, 0},
  };
  for (const auto& c : kCases) {
    char32_t codePoint = 0x55AA;
    EXPECT_EQ(Utf8SequenceAt(c.text, 0, &codePoint), c.length) << c.text;
    EXPECT_EQ(codePoint, c.length != 0 ? c.codePoint : 0x55AA) << c.text;  // untouched
    if (c.length == 0) continue;
    std::string back;
    AppendUtf8(codePoint, &back);
    EXPECT_EQ(back, c.text.substr(0, c.length));
    std::u16string units;
    AppendUtf16(codePoint, &units);
    EXPECT_EQ(units.size(), codePoint > 0xFFFF ? 2u : 1u);
    EXPECT_EQ(Utf8Of(units), c.text.substr(0, c.length));
  }
}

}  // namespace
}  // namespace korvane
