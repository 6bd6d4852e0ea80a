// Text between the three encodings korvane meets: the 8-bit code page of the ANSI calls
// (what the logic and the report work in), UTF-16 (what NT hives, Wine's registry and
// version resources store) and UTF-8 (what hivex hands over and JSON carries). Each
// conversion has one rule, and every code page's characters are known in one place
// (AnsiFromCodePoint and CodePointFromAnsi), so another code page is one more case there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// An 8-bit code page, by its Windows number.
enum class CodePage : uint32_t {
  kLatin1 = 28591,      // ISO 8859-1: every byte is the character of its number
  kWindows1252 = 1252,  // Western Windows: Latin-1 with typographic characters at 0x80-0x9F
};

// The code page a machine's text is taken to be in where nothing says which: UTF-16 text
// read from its files is narrowed to it, and 8-bit text is widened from it for JSON.
constexpr CodePage kAssumedAnsiCodePage = CodePage::kLatin1;

// What the ANSI calls put where the code page has no character (the default character
// of WideCharToMultiByte).
constexpr char kDefaultCharacter = '?';

// A character (a code point) as the code page's byte, or kDefaultCharacter.
char AnsiFromCodePoint(char32_t codePoint, CodePage page);

// The character of a byte in the code page; U+FFFD where the code page has none.
char32_t CodePointFromAnsi(unsigned char byte, CodePage page);

// UTF-16 text narrowed as the ANSI calls narrow it: one byte a character. A surrogate pair
// (a character beyond the 16-bit range, which no 8-bit code page has) and a lone surrogate
// each become one default character.
std::string Utf16ToAnsi(std::u16string_view units, CodePage page);

// The same for count UTF-16LE code units stored at data (2 * count bytes).
std::string Utf16LeToAnsi(const uint8_t* data, size_t count, CodePage page);

// UTF-8 text narrowed the same way. Bytes that begin no well-formed sequence become one
// default character for each longest run that could have begun one (a sequence cut short
// is one character, a stray continuation byte another).
std::string Utf8ToAnsi(std::string_view utf8, CodePage page);

// Text of either kind (UTF-8, or 8-bit text in the code page) as UTF-8: well-formed UTF-8
// sequences are kept, and every other byte is taken as the code page's character.
std::string TextAsUtf8(std::string_view bytes, CodePage page);

// The length of the well-formed UTF-8 sequence at text[pos] (shortest form, no surrogate,
// at most U+10FFFF), with its character in *codePoint; 0, *codePoint untouched, when the
// bytes there begin none (an ASCII byte is a sequence of one).
size_t Utf8SequenceAt(std::string_view text, size_t pos, char32_t* codePoint);

// The character appended as UTF-16 (a surrogate pair beyond U+FFFF) or as UTF-8.
void AppendUtf16(char32_t codePoint, std::u16string* units);
void AppendUtf8(char32_t codePoint, std::string* text);

}  // namespace korvane
