// The case file of the formatter differential: escaping and the line layout. Portable C++:
// the Windows probe compiles it too.
#include "tests/wine/differential/format_cases.h"

#include <cstdlib>

namespace korvane::differential {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseInt64(const std::string& text, int64_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtoll(text.c_str(), &end, 10);
  return *end == '\0';
}

}  // namespace

std::string EscapeField(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c > 0x7E) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

bool UnescapeField(const std::string& field, std::string* bytes) {
  bytes->clear();
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      *bytes += field[i];
      continue;
    }
    if (++i == field.size()) return false;
    switch (field[i]) {
      case '\\':
        *bytes += '\\';
        break;
      case 't':
        *bytes += '\t';
        break;
      case 'n':
        *bytes += '\n';
        break;
      case 'r':
        *bytes += '\r';
        break;
      case 'x': {
        if (field.size() - i < 3) return false;
        const int high = HexDigit(field[i + 1]);
        const int low = HexDigit(field[i + 2]);
        if (high < 0 || low < 0) return false;
        *bytes += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::string WriteCaseLine(const FormatCase& c) {
  std::string line = EscapeField(c.name) + "\t" + EscapeField(c.format);
  for (const CaseArg& arg : c.args) {
    line += arg.isText ? "\ts:" + EscapeField(arg.text) : "\tn:" + std::to_string(arg.number);
  }
  return line;
}

bool ReadCaseLine(const std::string& line, FormatCase* c) {
  const std::vector<std::string> fields = SplitFields(line);
  if (fields.size() < 2) return false;
  if (!UnescapeField(fields[0], &c->name) || !UnescapeField(fields[1], &c->format)) {
    return false;
  }
  c->args.clear();
  for (size_t i = 2; i < fields.size(); ++i) {
    const std::string& field = fields[i];
    CaseArg arg;
    if (field.compare(0, 2, "s:") == 0) {
      arg.isText = true;
      if (!UnescapeField(field.substr(2), &arg.text)) return false;
    } else if (field.compare(0, 2, "n:") != 0 || !ParseInt64(field.substr(2), &arg.number)) {
      return false;
    }
    c->args.push_back(arg);
  }
  return true;
}

}  // namespace korvane::differential
