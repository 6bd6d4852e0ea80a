// Splitting, trimming and narrowing the text files that describe a machine.
#include "platform/offline/formats/text_lines.h"

#include "platform/text_encoding.h"

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

std::string NarrowText(const std::string& bytes, CodePage page) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    return Utf16LeToAnsi(data + 2, (bytes.size() - 2) / 2, page);
  }
  if (bytes.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    return bytes.substr(3);
  }
  return bytes;
}

}  // namespace korvane
