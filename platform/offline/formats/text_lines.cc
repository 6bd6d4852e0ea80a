// Splitting, trimming and narrowing the text files that describe a machine.
#include "platform/offline/formats/text_lines.h"

namespace korvane {

std::vector<std::string> SplitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

std::string TrimBlanks(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::optional<uint32_t> ParseUint32(const std::string& text) {
  int base = 10;
  size_t pos = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    pos = 2;
  }
  if (pos >= text.size()) return std::nullopt;
  uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * base + digit;
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

std::string NarrowUtf16(const uint8_t* data, size_t units) {
  std::string text;
  text.reserve(units);
  for (size_t i = 0; i < units; ++i) {
    const unsigned unit = data[2 * i] | (data[2 * i + 1] << 8);
    // A surrogate pair is one character the 8-bit code page cannot show: one "?".
    if (unit >= 0xDC00 && unit <= 0xDFFF && i > 0) {
      const unsigned previous = data[2 * i - 2] | (data[2 * i - 1] << 8);
      if (previous >= 0xD800 && previous <= 0xDBFF) continue;
    }
    text += unit <= 0xFF ? static_cast<char>(unit) : '?';
  }
  return text;
}

std::string NarrowText(const std::string& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    return NarrowUtf16(data + 2, (bytes.size() - 2) / 2);
  }
  if (bytes.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    return bytes.substr(3);
  }
  return bytes;
}

}  // namespace korvane
