// The .reg text format: headers, key lines, value lines with their data forms.
#include "platform/offline/formats/reg_file.h"

#include <vector>

#include "platform/ascii.h"
#include "platform/offline/formats/text_lines.h"
#include "platform/text_encoding.h"

namespace korvane {
namespace {

constexpr char kRegedit4[] = "REGEDIT4";
constexpr char kRegedit5[] = "Windows Registry Editor Version 5.00";

struct RootName {
  const char* name;
  bool kept;
  RootKey root;
};

const RootName kRootNames[] = {
    {"HKEY_LOCAL_MACHINE", true, RootKey::kLocalMachine},
    {"HKEY_CURRENT_USER", true, RootKey::kCurrentUser},
    {"HKEY_CLASSES_ROOT", true, RootKey::kClassesRoot},
    {"HKEY_USERS", false, RootKey::kLocalMachine},
    {"HKEY_CURRENT_CONFIG", false, RootKey::kLocalMachine},
    {"HKEY_DYN_DATA", false, RootKey::kLocalMachine},
};

class RegFileReader {
 public:
  RegFileReader(const std::string& bytes, MemoryRegistry* registry, CodePage page)
      : lines_(SplitTextLines(NarrowText(bytes, page))),
        registry_(registry),
        page_(page),
        leadBytes_(page) {}

  std::optional<ParseError> Read();

 private:
  bool ReadHeader();
  bool ReadKeyLine(const std::string& line);
  bool HasEmptyName(const std::string& path) const;
  bool ReadValueLine(const std::string& line);
  bool ReadQuoted(const std::string& line, size_t* pos, std::string* text);
  bool ReadData(const std::string& line, size_t pos, uint32_t* type, std::vector<uint8_t>* data);
  bool ReadHexData(std::string text, uint32_t type, std::vector<uint8_t>* data);
  bool ReadHexPiece(const std::string& piece, std::vector<uint8_t>* data);
  bool Fail(const std::string& message);

  std::vector<std::string> lines_;
  MemoryRegistry* registry_;
  CodePage page_;
  // The text is read a character at a time: in a double-byte code page the second byte of
  // a character may be a backslash, which then neither escapes nor separates key names.
  LeadBytes leadBytes_;
  size_t index_ = 0;  // the line being read
  bool unicode_ = false;
  bool inKey_ = false;
  MemoryRegistry::Key* key_ = nullptr;  // null inside a key that is left out
  std::optional<ParseError> error_;
};

bool RegFileReader::Fail(const std::string& message) {
  error_ = ParseError{static_cast<int>(index_) + 1, message};
  return false;
}

std::optional<ParseError> RegFileReader::Read() {
  registry_->SetCodePage(page_);
  registry_->ShareClassesRoot();
  if (!ReadHeader()) return error_;
  for (++index_; index_ < lines_.size(); ++index_) {
    const std::string line = TrimBlanks(lines_[index_]);
    if (line.empty() || line[0] == ';') continue;
    bool ok;
    if (line[0] == '[') {
      ok = ReadKeyLine(line);
    } else if (line[0] == '"' || line[0] == '@') {
      ok = ReadValueLine(line);
    } else {
      ok =
          Fail("cannot read this line: expected a [key] line, a \"name\"=data line or a ; comment");
    }
    if (!ok) return error_;
  }
  return std::nullopt;
}

bool RegFileReader::ReadHeader() {
  while (index_ < lines_.size() && TrimBlanks(lines_[index_]).empty()) ++index_;
  const std::string header = index_ < lines_.size() ? TrimBlanks(lines_[index_]) : std::string();
  if (header == kRegedit4) return true;
  if (header == kRegedit5) {
    unicode_ = true;
    return true;
  }
  if (index_ >= lines_.size()) index_ = 0;
  return Fail(std::string("not a registry export: the first line must be \"") + kRegedit4 +
              "\" or \"" + kRegedit5 + "\"");
}

bool RegFileReader::ReadKeyLine(const std::string& line) {
  if (line.back() != ']') return Fail("cannot read this key line: it does not end with \"]\"");
  const std::string path = line.substr(1, line.size() - 2);
  if (!path.empty() && path[0] == '-') {
    return Fail("a key deletion ([-...]) cannot describe a machine");
  }
  const size_t slash = leadBytes_.Find(path, '\\');
  const std::string rootName = path.substr(0, slash);
  const std::string below = slash == std::string::npos ? std::string() : path.substr(slash + 1);
  if (HasEmptyName(below))
    return Fail("cannot read this key line: a key name in its path is empty");
  for (const RootName& root : kRootNames) {
    if (!EqualsIgnoringCase(rootName, root.name)) continue;
    inKey_ = true;
    key_ = root.kept ? registry_->CreateKey(root.root, below) : nullptr;
    return true;
  }
  return Fail("unknown root key \"" + rootName +
              "\": expected HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_CLASSES_ROOT");
}

// True when the path begins with a backslash or two meet: a key name there is empty.
bool RegFileReader::HasEmptyName(const std::string& path) const {
  size_t start = 0;
  for (size_t at = leadBytes_.Find(path, '\\'); at != std::string::npos;
       at = leadBytes_.Find(path, '\\', at + 1)) {
    if (at == start) return true;
    start = at + 1;
  }
  return false;
}

bool RegFileReader::ReadQuoted(const std::string& line, size_t* pos, std::string* text) {
  // *pos is at the opening quote.
  for (size_t i = *pos + 1; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (leadBytes_.CharacterLength(line, i) == 2) {
      *text += line.substr(i++, 2);
      continue;
    }
    if (c != '\\') {
      *text += c;
      continue;
    }
    if (++i >= line.size()) break;
    switch (line[i]) {
      case '\\':
        *text += '\\';
        break;
      case '"':
        *text += '"';
        break;
      case 'n':
        *text += '\n';
        break;
      case 'r':
        *text += '\r';
        break;
      case '0':
        *text += '\0';
        break;
      default:
        return Fail(std::string("unknown escape \"\\") + line[i] +
                    "\" in a quoted text: a backslash is written \"\\\\\"");
    }
  }
  return Fail("a quoted text has no closing quote");
}

bool RegFileReader::ReadValueLine(const std::string& line) {
  if (!inKey_) return Fail("a value line comes before any [key] line");
  std::string name;
  size_t pos = 1;
  if (line[0] == '"') {
    pos = 0;
    if (!ReadQuoted(line, &pos, &name)) return false;
  }
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size() || line[pos] != '=') {
    return Fail("cannot read this value line: expected \"=\" after the value name");
  }
  ++pos;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  uint32_t type = kRegSz;
  std::vector<uint8_t> data;
  if (!ReadData(line, pos, &type, &data)) return false;
  if (key_ != nullptr) MemoryRegistry::SetValue(key_, name, type, std::move(data));
  return true;
}

bool StartsWithIgnoringCase(const std::string& text, size_t pos, const char* prefix) {
  const std::string p = prefix;
  return text.size() - pos >= p.size() && EqualsIgnoringCase(text.substr(pos, p.size()), p);
}

bool RegFileReader::ReadData(const std::string& line, size_t pos, uint32_t* type,
                             std::vector<uint8_t>* data) {
  const std::string rest = line.substr(pos);
  if (!rest.empty() && rest[0] == '"') {
    std::string text;
    size_t end = 0;
    if (!ReadQuoted(rest, &end, &text)) return false;
    if (!TrimBlanks(rest.substr(end)).empty()) {
      return Fail("unexpected text after the closing quote of a value");
    }
    *type = kRegSz;
    data->assign(text.begin(), text.end());
    data->push_back(0);
    return true;
  }
  if (rest == "-") return Fail("a value deletion (=-) cannot describe a machine");
  if (StartsWithIgnoringCase(rest, 0, "dword:")) {
    const std::string digits = rest.substr(6);
    const auto value = digits.size() <= 8 ? ParseUint32("0x" + digits) : std::nullopt;
    if (!value) return Fail("a dword: value needs 1 to 8 hexadecimal digits");
    *type = kRegDword;
    for (int shift = 0; shift < 32; shift += 8)
      data->push_back(static_cast<uint8_t>(*value >> shift));
    return true;
  }
  if (StartsWithIgnoringCase(rest, 0, "hex:")) {
    *type = kRegBinary;
    return ReadHexData(rest.substr(4), *type, data);
  }
  if (StartsWithIgnoringCase(rest, 0, "hex(")) {
    const size_t close = rest.find("):");
    const auto number = close == std::string::npos || close > 12
                            ? std::nullopt
                            : ParseUint32("0x" + rest.substr(4, close - 4));
    if (!number)
      return Fail("cannot read the type of a hex(N): value: N is 1 to 8 hexadecimal digits");
    *type = *number;
    return ReadHexData(rest.substr(close + 2), *type, data);
  }
  return Fail("cannot read this value's data: expected \"text\", dword:, hex: or hex(N):");
}

bool RegFileReader::ReadHexData(std::string text, uint32_t type, std::vector<uint8_t>* data) {
  // A line that ends in a backslash goes on in the next line.
  for (;;) {
    text = TrimBlanks(text);
    const bool continues = !text.empty() && text.back() == '\\';
    if (continues) text.pop_back();
    if (!ReadHexPiece(text, data)) return false;
    if (!continues) break;
    if (index_ + 1 >= lines_.size()) return Fail("the hex data goes on past the end of the file");
    text = lines_[++index_];
  }
  const bool isText = type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
  if (unicode_ && isText) {
    // An ANSI program reads text values narrowed from the UTF-16 that this format holds.
    if (data->size() % 2 != 0) data->push_back(0);
    const std::string narrow = Utf16LeToAnsi(data->data(), data->size() / 2, page_);
    data->assign(narrow.begin(), narrow.end());
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool RegFileReader::ReadHexPiece(const std::string& piece, std::vector<uint8_t>* data) {
  size_t start = 0;
  const std::string text = TrimBlanks(piece);
  while (start < text.size()) {
    size_t comma = text.find(',', start);
    const bool last = comma == std::string::npos;
    if (last) comma = text.size();
    const std::string token = TrimBlanks(text.substr(start, comma - start));
    if (token.empty() || token.size() > 2 || HexDigit(token[0]) < 0 ||
        (token.size() == 2 && HexDigit(token[1]) < 0)) {
      return Fail(
          "cannot read the hex data: expected bytes as two hexadecimal digits between commas");
    }
    data->push_back(static_cast<uint8_t>(
        token.size() == 1 ? HexDigit(token[0]) : HexDigit(token[0]) * 16 + HexDigit(token[1])));
    start = comma + 1;
  }
  return true;
}

}  // namespace

std::optional<ParseError> ParseRegFile(const std::string& bytes, MemoryRegistry* registry,
                                       CodePage page) {
  return RegFileReader(bytes, registry, page).Read();
}

}  // namespace korvane
