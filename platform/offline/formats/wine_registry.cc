// Wine's registry text format, read line by line into a MemoryRegistry.
#include "platform/offline/formats/wine_registry.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/ascii.h"
#include "platform/text_encoding.h"

namespace korvane {
namespace {

constexpr char kSignature[] = "WINE REGISTRY Version 2";
constexpr char kRelativeToComment[] = ";; All keys relative to ";

using Units = std::u16string;

std::string Narrow(const Units& units, CodePage page) { return Utf16ToAnsi(units, page); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Reads an escaped text from line[*pos] up to the unescaped end character, leaving *pos
// just past it. False when the end character never comes.
bool ReadEscaped(const std::string& line, size_t* pos, char end, Units* units) {
  size_t p = *pos;
  while (p < line.size() && line[p] != end) {
    const unsigned char c = static_cast<unsigned char>(line[p]);
    if (c >= 0x80) {
      char32_t codePoint = c;  // a byte that begins no UTF-8 sequence is its Latin-1 character
      const size_t length = Utf8SequenceAt(line, p, &codePoint);
      AppendUtf16(codePoint, units);
      p += length == 0 ? 1 : length;
      continue;
    }
    if (c != '\\') {
      units->push_back(c);
      ++p;
      continue;
    }
    if (++p == line.size()) return false;
    const char e = line[p];
    static const char kLetters[] = "abefnrtv";
    static const uint16_t kCodes[] = {7, 8, 27, 12, 10, 13, 9, 11};
    if (const char* letter = e == '\0' ? nullptr : std::strchr(kLetters, e)) {
      units->push_back(kCodes[letter - kLetters]);
      ++p;
    } else if (e == 'x') {
      ++p;
      if (p == line.size() || HexValue(line[p]) < 0) {
        units->push_back('x');
        continue;
      }
      uint16_t unit = 0;
      for (int n = 0; n < 4 && p < line.size() && HexValue(line[p]) >= 0; ++n, ++p) {
        unit = static_cast<uint16_t>(unit * 16 + HexValue(line[p]));
      }
      units->push_back(unit);
    } else if (e >= '0' && e <= '7') {
      uint16_t unit = 0;
      for (int n = 0; n < 3 && p < line.size() && line[p] >= '0' && line[p] <= '7'; ++n, ++p) {
        unit = static_cast<uint16_t>(unit * 8 + (line[p] - '0'));
      }
      units->push_back(unit);
    } else {
      // "\\", "\"", "\[" and "\]" stand for the character itself, as does any other.
      AppendUtf16(static_cast<unsigned char>(e), units);
      ++p;
    }
  }
  if (p == line.size()) return false;
  *pos = p + 1;
  return true;
}

std::vector<uint8_t> NarrowBytes(const Units& units, CodePage page) {
  const std::string text = Narrow(units, page);
  return std::vector<uint8_t>(text.begin(), text.end());
}

// UTF-16LE bytes of a text-typed hex(N) value, as the ANSI calls convert them.
std::vector<uint8_t> NarrowUtf16Bytes(const std::vector<uint8_t>& bytes, CodePage page) {
  const std::string text = Utf16LeToAnsi(bytes.data(), bytes.size() / 2, page);
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool IsTextType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

class Parser {
 public:
  Parser(const std::string& bytes, RootKey root, MemoryRegistry* registry,
         WineRegistryHeader* header, CodePage page)
      : bytes_(bytes), root_(root), registry_(registry), header_(header), page_(page) {}

  std::optional<ParseError> Run() {
    registry_->SetCodePage(page_);
    std::string line;
    if (!NextLine(&line) || line != kSignature) {
      return Error(std::string("not a Wine registry file: the first line is not \"") + kSignature +
                   "\"");
    }
    while (NextLine(&line)) {
      if (auto error = HandleLine(line)) return error;
    }
    SortLikeWine(registry_->FindKey(root_, ""));
    return std::nullopt;
  }

 private:
  bool NextLine(std::string* line) {
    if (offset_ >= bytes_.size()) return false;
    size_t end = bytes_.find('\n', offset_);
    if (end == std::string::npos) end = bytes_.size();
    *line = bytes_.substr(offset_, end - offset_);
    if (!line->empty() && line->back() == '\r') line->pop_back();
    offset_ = end + 1;
    ++lineNumber_;
    return true;
  }

  ParseError Error(const std::string& message) const { return ParseError{lineNumber_, message}; }

  std::optional<ParseError> HandleLine(const std::string& raw) {
    size_t start = 0;
    while (start < raw.size() && IsBlank(raw[start])) ++start;
    const std::string line = raw.substr(start);
    if (line.empty()) return std::nullopt;
    switch (line[0]) {
      case '[':
        return ReadKey(line);
      case '@':
      case '"':
        return ReadValue(line);
      case '#':
        return ReadMetadata(line);
      case ';':
        return ReadComment(line);
      default:
        return Error("neither a [key], a value, a #metadata line nor a ;comment");
    }
  }

  std::optional<ParseError> ReadComment(const std::string& line) {
    const size_t prefixLength = sizeof kRelativeToComment - 1;
    if (line.compare(0, prefixLength, kRelativeToComment) == 0) {
      Units units;
      size_t pos = prefixLength;
      const std::string rest = line + '\n';  // the text runs to the end of the line
      if (!ReadEscaped(rest, &pos, '\n', &units)) return Error("malformed relative root");
      header_->relativeTo = Narrow(units, page_);
    }
    return std::nullopt;
  }

  std::optional<ParseError> ReadMetadata(const std::string& line) {
    if (line.compare(0, 6, "#arch=") == 0) {
      header_->arch = line.substr(6);
      while (!header_->arch.empty() && IsBlank(header_->arch.back())) header_->arch.pop_back();
    }
    // #time=, #class= and #link describe the current key; a link shows in its
    // SymbolicLinkValue, which is all that is needed to follow it.
    return std::nullopt;
  }

  std::optional<ParseError> ReadKey(const std::string& line) {
    size_t pos = 1;
    Units units;
    if (!ReadEscaped(line, &pos, ']', &units)) return Error("key name without its closing ]");
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos != line.size()) return Error("unexpected text after the key's timestamp");
    // Names are told apart in the UTF-16 text: narrowed to a double-byte code page, a
    // character's second byte may be a backslash.
    const std::string path = Narrow(units, page_);
    if (units.find(u"\\\\") != Units::npos || (!units.empty() && units[0] == u'\\')) {
      return Error("empty name in key path \"" + path + "\"");
    }
    key_ = registry_->CreateKey(root_, path);
    if (key_ == nullptr) return Error("key \"" + path + "\" cannot be made");
    return std::nullopt;
  }

  std::optional<ParseError> ReadValue(const std::string& line) {
    if (key_ == nullptr) return Error("value before the first [key]");
    size_t pos = 1;
    Units name;
    if (line[0] == '"' && !ReadEscaped(line, &pos, '"', &name)) {
      return Error("value name without its closing quote");
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size() || line[pos] != '=') return Error("value name not followed by =");
    ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    uint32_t type = kRegSz;
    std::vector<uint8_t> data;
    if (auto error = ReadData(line, pos, &type, &data)) return error;
    MemoryRegistry::SetValue(key_, Narrow(name, page_), type, std::move(data));
    return std::nullopt;
  }

  std::optional<ParseError> ReadData(const std::string& line, size_t pos, uint32_t* type,
                                     std::vector<uint8_t>* data) {
    const std::string rest = line.substr(pos);
    struct TextForm {
      const char* tag;
      uint32_t type;
    };
    static const TextForm kTextForms[] = {{"\"", kRegSz},
                                          {"str:\"", kRegSz},
                                          {"str(2):\"", kRegExpandSz},
                                          {"str(7):\"", kRegMultiSz}};
    for (const TextForm& form : kTextForms) {
      const size_t tagLength = std::strlen(form.tag);
      if (rest.compare(0, tagLength, form.tag) != 0) continue;
      size_t p = pos + tagLength;
      Units units;
      if (!ReadEscaped(line, &p, '"', &units)) return Error("text without its closing quote");
      units.push_back(0);  // Wine keeps the terminating zero with the text
      *type = form.type;
      *data = NarrowBytes(units, page_);
      return std::nullopt;
    }
    if (rest.compare(0, 6, "dword:") == 0) return ReadDword(rest.substr(6), type, data);
    if (rest.compare(0, 4, "hex:") == 0) {
      *type = kRegBinary;
      return ReadHex(rest.substr(4), data);
    }
    if (rest.compare(0, 4, "hex(") == 0) {
      size_t p = 4;
      uint64_t number = 0;
      while (p < rest.size() && HexValue(rest[p]) >= 0 && number <= 0xFFFFFFFFu) {
        number = number * 16 + static_cast<uint64_t>(HexValue(rest[p++]));
      }
      if (p == 4 || number > 0xFFFFFFFFu || rest.compare(p, 2, "):") != 0) {
        return Error("hex(N): needs a hexadecimal type number N of 32 bits");
      }
      *type = static_cast<uint32_t>(number);
      std::vector<uint8_t> bytes;
      if (auto error = ReadHex(rest.substr(p + 2), &bytes)) return error;
      *data = IsTextType(*type) ? NarrowUtf16Bytes(bytes, page_) : std::move(bytes);
      return std::nullopt;
    }
    return Error(
        "unknown value form (expected \"text\", str:, str(2):, str(7):, hex:, "
        "hex(N): or dword:)");
  }

  std::optional<ParseError> ReadDword(const std::string& digits, uint32_t* type,
                                      std::vector<uint8_t>* data) {
    size_t end = digits.size();
    while (end > 0 && IsBlank(digits[end - 1])) --end;
    if (end == 0 || end > 8) return Error("dword: needs 1 to 8 hexadecimal digits");
    uint32_t value = 0;
    for (size_t i = 0; i < end; ++i) {
      if (HexValue(digits[i]) < 0) return Error("dword: needs 1 to 8 hexadecimal digits");
      value = value * 16 + static_cast<uint32_t>(HexValue(digits[i]));
    }
    *type = kRegDword;
    *data = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return std::nullopt;
  }

  // Comma-separated bytes of one or two hexadecimal digits; a "\" at the end of a line
  // continues the list on the next one.
  std::optional<ParseError> ReadHex(std::string text, std::vector<uint8_t>* data) {
    while (true) {
      size_t p = 0;
      while (p < text.size() && HexValue(text[p]) >= 0) {
        int value = HexValue(text[p++]);
        if (p < text.size() && HexValue(text[p]) >= 0) value = value * 16 + HexValue(text[p++]);
        data->push_back(static_cast<uint8_t>(value));
        if (p < text.size() && text[p] == ',') ++p;
      }
      while (p < text.size() && IsBlank(text[p])) ++p;
      if (p == text.size()) return std::nullopt;
      if (text[p] != '\\' || p + 1 != text.size()) {
        return Error("hex bytes must be two-digit hexadecimal numbers separated by commas");
      }
      if (!NextLine(&text)) return Error("the file ends where a \\ promised more hex bytes");
      size_t start = 0;
      while (start < text.size() && IsBlank(text[start])) ++start;
      text.erase(0, start);
    }
  }

  // Wine keeps subkeys and values sorted by name without regard to case, and enumerates
  // them in that order whatever order the file has.
  static void SortLikeWine(MemoryRegistry::Key* key) {
    if (key == nullptr) return;
    const auto before = [](const std::string& a, const std::string& b) {
      return AsciiLower(a) < AsciiLower(b);
    };
    key->SortSubkeys([&](const auto& a, const auto& b) { return before(a.name(), b.name()); });
    std::stable_sort(key->values.begin(), key->values.end(),
                     [&](const auto& a, const auto& b) { return before(a.name, b.name); });
    for (const auto& sub : key->subkeys()) SortLikeWine(sub.get());
  }

  const std::string& bytes_;
  RootKey root_;
  MemoryRegistry* registry_;
  WineRegistryHeader* header_;
  CodePage page_;
  size_t offset_ = 0;
  int lineNumber_ = 0;
  MemoryRegistry::Key* key_ = nullptr;
};

}  // namespace

std::optional<ParseError> ParseWineRegistry(const std::string& bytes, RootKey root,
                                            MemoryRegistry* registry, WineRegistryHeader* header,
                                            CodePage page) {
  WineRegistryHeader ignored;
  return Parser(bytes, root, registry, header != nullptr ? header : &ignored, page).Run();
}

}  // namespace korvane
