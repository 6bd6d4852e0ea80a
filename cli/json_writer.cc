// Outside text made valid UTF-8 for nlohmann/json, and the document as korvane prints it.
#include "cli/json_writer.h"

#include <cstdint>

namespace korvane {
namespace {

// Length of the well-formed UTF-8 sequence at p (at most end - p bytes), 0 if none.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char c = p[0];
  size_t length;
  uint32_t min;
  if (c < 0x80) {
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
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

}  // namespace

std::string TextAsUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  while (p < end) {
    if (const size_t n = Utf8SequenceLength(p, end)) {
      out.append(reinterpret_cast<const char*>(p), n);
      p += n;
    } else {  // a Latin-1 character, U+0080 to U+00FF, in two bytes
      out += static_cast<char>(0xC0 | *p >> 6);
      out += static_cast<char>(0x80 | (*p & 0x3F));
      ++p;
    }
  }
  return out;
}

Json JsonText(const std::string& bytes) { return TextAsUtf8(bytes); }

Json JsonTextList(const std::vector<std::string>& items) {
  Json list = Json::array();
  for (const std::string& item : items) list.push_back(TextAsUtf8(item));
  return list;
}

std::string JsonDocument(const Json& document) { return document.dump(2) + "\n"; }

}  // namespace korvane
