// Conversions between code pages, UTF-16 and UTF-8, with the rules of the ANSI calls.
#include "platform/text_encoding.h"

#include "platform/code_page.h"

namespace korvane {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// How many bytes at text[pos], where no well-formed sequence begins, could have begun
// one that the text does not complete: at least one.
size_t IllFormedLength(std::string_view text, size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // shorter forms
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // shorter forms
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 1;
  }
  size_t n = 1;
  for (; n < length && pos + n < text.size(); ++n) {
    const auto c = static_cast<unsigned char>(text[pos + n]);
    const bool fits = n == 1 ? c >= low && c <= high : c >= 0x80 && c <= 0xBF;
    if (!fits) break;
  }
  return n;
}

// Appends a character narrowed to the code page: ASCII as itself (every code page Windows
// has as an ANSI code page keeps it), others through the host's tables.
void AppendAnsi(char32_t codePoint, CodePageCodec& codec, std::string* text) {
  if (codePoint < 0x80) {
    *text += static_cast<char>(codePoint);
  } else if (!codec.Encode(codePoint, text)) {
    *text += kDefaultCharacter;
  }
}

}  // namespace

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsUtf8(std::string_view text) {
  char32_t ignored = 0;
  for (size_t pos = 0, length = 0; pos < text.size(); pos += length) {
    length = Utf8SequenceAt(text, pos, &ignored);
    if (length == 0) return false;
  }
  return true;
}

bool IsConvertibleCodePage(CodePage page) { return CodePageCodec(page).Usable(); }

bool IsDoubleByteCodePage(CodePage page) {
  switch (static_cast<uint32_t>(page)) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
      return true;
    default:
      return false;
  }
}

LeadBytes::LeadBytes(CodePage page) {
  if (!IsDoubleByteCodePage(page)) return;
  CodePageCodec codec(page);
  for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
    bits_[byte - 0x80] = codec.IsLeadByte(static_cast<unsigned char>(byte));
  }
}

// No code page has a second byte below 0x40: a lead byte before one (a quote, a line's
// end) stands alone, as the conversions take it.
size_t LeadBytes::CharacterLength(std::string_view text, size_t pos) const {
  const bool pair = Has(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() &&
                    static_cast<unsigned char>(text[pos + 1]) >= 0x40;
  return pair ? 2 : 1;
}

size_t LeadBytes::Find(std::string_view text, char c, size_t pos) const {
  for (; pos < text.size(); pos += CharacterLength(text, pos)) {
    if (text[pos] == c) return pos;
  }
  return std::string_view::npos;
}

std::vector<std::string> LeadBytes::SplitPath(std::string_view path) const {
  std::vector<std::string> parts;
  for (size_t start = 0; start < path.size();) {
    size_t end = Find(path, '\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::optional<CodePage> CodePageNamed(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  uint32_t number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  const auto page = static_cast<CodePage>(number);
  if (number == 0 || !IsConvertibleCodePage(page)) return std::nullopt;
  return page;
}

std::string AnsiFromCodePoint(char32_t codePoint, CodePage page) {
  CodePageCodec codec(page);
  std::string text;
  AppendAnsi(codePoint, codec, &text);
  return text;
}

char32_t CodePointFromAnsi(unsigned char byte, CodePage page) {
  if (byte < 0x80) return byte;
  const char single = static_cast<char>(byte);
  char32_t codePoint = kReplacementCharacter;
  CodePageCodec(page).Decode(std::string_view(&single, 1), 0, &codePoint);
  return codePoint;
}

std::string Utf16ToAnsi(std::u16string_view units, CodePage page) {
  CodePageCodec codec(page);
  std::string text;
  text.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t codePoint = units[i];
    if (IsHighSurrogate(codePoint) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint)) {
      text += kDefaultCharacter;
      continue;
    }
    AppendAnsi(codePoint, codec, &text);
  }
  return text;
}

std::string Utf16LeToAnsi(const uint8_t* data, size_t count, CodePage page) {
  std::u16string units(count, u'\0');
  for (size_t i = 0; i < count; ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  return Utf16ToAnsi(units, page);
}

std::string Utf8ToAnsi(std::string_view utf8, CodePage page) {
  if (IsAscii(utf8)) return std::string(utf8);
  CodePageCodec codec(page);
  std::string text;
  text.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t codePoint = 0;
    if (const size_t length = Utf8SequenceAt(utf8, pos, &codePoint)) {
      AppendAnsi(codePoint, codec, &text);
      pos += length;
    } else {
      text += kDefaultCharacter;
      pos += IllFormedLength(utf8, pos);
    }
  }
  return text;
}

std::string AnsiToUtf8(std::string_view bytes, CodePage page) {
  if (IsAscii(bytes)) return std::string(bytes);
  CodePageCodec codec(page);
  std::string text;
  text.reserve(bytes.size());
  for (size_t pos = 0; pos < bytes.size();) {
    char32_t codePoint = static_cast<unsigned char>(bytes[pos]);
    size_t length = codePoint < 0x80 ? 1 : codec.Decode(bytes, pos, &codePoint);
    if (length == 0) codePoint = kReplacementCharacter, length = 1;
    AppendUtf8(codePoint, &text);
    pos += length;
  }
  return text;
}

std::string TextAsUtf8(std::string_view bytes, CodePage page) {
  if (IsDoubleByteCodePage(page)) {
    return IsUtf8(bytes) ? std::string(bytes) : AnsiToUtf8(bytes, page);
  }
  if (IsAscii(bytes)) return std::string(bytes);
  CodePageCodec codec(page);
  std::string text;
  text.reserve(bytes.size());
  for (size_t pos = 0; pos < bytes.size();) {
    char32_t codePoint = 0;
    if (const size_t length = Utf8SequenceAt(bytes, pos, &codePoint)) {
      text.append(bytes.substr(pos, length));
      pos += length;
    } else {
      if (codec.Decode(bytes, pos, &codePoint) == 0) codePoint = kReplacementCharacter;
      AppendUtf8(codePoint, &text);
      ++pos;
    }
  }
  return text;
}

size_t Utf8SequenceAt(std::string_view text, size_t pos, char32_t* codePoint) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  size_t length;
  char32_t value;
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - pos < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(pos + i) & 0x3F);
  }
  constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kShortest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *codePoint = value;
  return length;
}

void AppendUtf16(char32_t codePoint, std::u16string* units) {
  if (codePoint < 0x10000) {
    units->push_back(static_cast<char16_t>(codePoint));
    return;
  }
  codePoint -= 0x10000;
  units->push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
  units->push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

void AppendUtf8(char32_t codePoint, std::string* text) {
  const auto put = [text](char32_t bits) { *text += static_cast<char>(bits); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | codePoint >> 6);
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | codePoint >> 12);
    put(0x80 | (codePoint >> 6 & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | codePoint >> 18);
    put(0x80 | (codePoint >> 12 & 0x3F));
    put(0x80 | (codePoint >> 6 & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace korvane
