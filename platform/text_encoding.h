// Text between the three encodings korvane meets: the code page of the ANSI calls (what
// the logic and the report work in: the machine's own, single- or double-byte), UTF-16
// (what NT hives, Wine's registry, long file names and version resources store) and UTF-8
// (what hivex hands over, what JSON carries and what a UTF-8 terminal shows). Each
// conversion has one rule; which character a code page gives a byte is asked of the host
// (code_page_iconv.cc, code_page_win32.cc), never kept in tables here.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A code page by its Windows number (the ACP and OEMCP values of a machine's registry);
// any number the host can convert is one, the two named are the ones rules refer to.
enum class CodePage : uint32_t {
  kLatin1 = 28591,      // ISO 8859-1: every byte is the character of its number
  kWindows1252 = 1252,  // Western Windows: Latin-1 with typographic characters at 0x80-0x9F
};

// The ANSI code page of a machine that does not say which it has, and the OEM code page
// (of FAT short names and the console) that goes with it: a Western machine's.
constexpr CodePage kDefaultAnsiCodePage = CodePage::kWindows1252;
constexpr CodePage kDefaultOemCodePage = static_cast<CodePage>(437);

// True when the host can convert text of the code page.
bool IsConvertibleCodePage(CodePage page);

// True for the double-byte code pages (Japanese 932, Simplified Chinese 936, Korean 949,
// Traditional Chinese 950, Johab 1361): a character there may take two bytes.
bool IsDoubleByteCodePage(CodePage page);

// The bytes that begin a double-byte character of a code page, none in a single-byte one.
// The second byte of such a character may be any byte from 0x40 up, among them '\\', '['
// and ']' (Shift-JIS U+8868 is 0x95 0x5C): text in the code page is searched for those
// one character at a time, never byte by byte.
class LeadBytes {
 public:
  LeadBytes() = default;
  explicit LeadBytes(CodePage page);

  bool Has(unsigned char byte) const { return byte >= 0x80 && bits_[byte - 0x80]; }
  // How many bytes the character at text[pos] takes: 2 for a lead byte and the byte after
  // it, 1 for any other byte.
  size_t CharacterLength(std::string_view text, size_t pos) const;
  // Where the character c (ASCII) next stands in text at or after pos, which begins a
  // character; npos when it does not.
  size_t Find(std::string_view text, char c, size_t pos = 0) const;
  // The parts of a backslash-separated path, empty ones left out.
  std::vector<std::string> SplitPath(std::string_view path) const;

 private:
  std::bitset<128> bits_;
};

// The code page a registry's ACP or OEMCP text names ("1252"), when it is a number the
// host can convert.
std::optional<CodePage> CodePageNamed(std::string_view digits);

// What the ANSI calls put where the code page has no character (the default character
// of WideCharToMultiByte).
constexpr char kDefaultCharacter = '?';

// A character (a code point) as the code page's bytes (two for a double-byte character),
// or kDefaultCharacter where the code page has none.
std::string AnsiFromCodePoint(char32_t codePoint, CodePage page);

// The character of a single byte in the code page; U+FFFD where the code page has none
// (in a double-byte code page, a lead byte alone has none).
char32_t CodePointFromAnsi(unsigned char byte, CodePage page);

// UTF-16 text narrowed as the ANSI calls narrow it: each character as the code page's
// bytes, kDefaultCharacter only where the code page has no such character. A surrogate
// pair is one character, a lone surrogate one default character.
std::string Utf16ToAnsi(std::u16string_view units, CodePage page);

// The same for count UTF-16LE code units stored at data (2 * count bytes).
std::string Utf16LeToAnsi(const uint8_t* data, size_t count, CodePage page);

// UTF-8 text narrowed the same way. Bytes that begin no well-formed sequence become one
// default character for each longest run that could have begun one (a sequence cut short
// is one character, a stray continuation byte another).
std::string Utf8ToAnsi(std::string_view utf8, CodePage page);

// Text in the code page as UTF-8: each character of the code page as its UTF-8 sequence,
// U+FFFD for bytes without one; a double-byte character is never split.
std::string AnsiToUtf8(std::string_view bytes, CodePage page);

// Text of either kind (UTF-8, such as a path on this host, or text in the code page) as
// UTF-8. In a single-byte code page well-formed UTF-8 sequences are kept and every other
// byte is the code page's character. A double-byte code page's pairs can look like UTF-8
// sequences, so there text that is UTF-8 as a whole is kept and any other is converted
// from the code page as a whole.
std::string TextAsUtf8(std::string_view bytes, CodePage page);

// The length of the well-formed UTF-8 sequence at text[pos] (shortest form, no surrogate,
// at most U+10FFFF), with its character in *codePoint; 0, *codePoint untouched, when the
// bytes there begin none (an ASCII byte is a sequence of one).
size_t Utf8SequenceAt(std::string_view text, size_t pos, char32_t* codePoint);

// Whether every byte is ASCII; whether the whole text is well-formed UTF-8.
bool IsAscii(std::string_view text);
bool IsUtf8(std::string_view text);

// The character appended as UTF-16 (a surrogate pair beyond U+FFFF) or as UTF-8.
void AppendUtf16(char32_t codePoint, std::u16string* units);
void AppendUtf8(char32_t codePoint, std::string* text);

}  // namespace korvane
