// JSON text with two-space indentation and escaped strings.
#include "cli/json_writer.h"

#include <cstdio>

namespace korvane {
namespace {

// Length of the well-formed UTF-8 sequence at p (at most end - p bytes), 0 if none.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char c = p[0];
  size_t length;
  uint32_t min;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) < length) return 0;
  uint32_t code = c & (0x3F >> (length - 1));
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = code << 6 | (p[i] & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < min || code > 0x10FFFF || surrogate ? 0 : length;
}

void AppendEscape(std::string* out, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", value);
  *out += escape;
}

}  // namespace

std::string JsonQuote(const std::string& bytes) {
  std::string out = "\"";
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      AppendEscape(&out, c);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t n = Utf8SequenceLength(p, end)) {
      out.append(reinterpret_cast<const char*>(p), n);
      p += n;
      continue;
    } else {
      AppendEscape(&out, c);
    }
    ++p;
  }
  return out + "\"";
}

void JsonWriter::NewLine() {
  text_ += '\n';
  text_.append(hasItems_.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (hasItems_.empty()) return;
  if (hasItems_.back()) text_ += ',';
  hasItems_.back() = true;
  NewLine();
}

void JsonWriter::Key(const std::string& name) {
  BeforeValue();
  text_ += JsonQuote(name) + ": ";
  afterKey_ = true;
}

void JsonWriter::Value(const std::string& literal) {
  BeforeValue();
  text_ += literal;
  if (hasItems_.empty()) text_ += '\n';
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  text_ += bracket;
  hasItems_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool hadItems = hasItems_.back();
  hasItems_.pop_back();
  if (hadItems) NewLine();
  text_ += bracket;
  if (hasItems_.empty()) text_ += '\n';
}

void JsonWriter::StringArray(const std::vector<std::string>& items) {
  BeginArray();
  for (const std::string& item : items) String(item);
  EndArray();
}

}  // namespace korvane
