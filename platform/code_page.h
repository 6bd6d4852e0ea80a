// What the host knows of a code page, for text_encoding.cc only: which bytes a character
// has there and which character bytes are. One file per platform gives it (the C
// library's iconv, or the Windows API's own tables).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace korvane {

// Converts single characters to and from one code page; what it needs of the host is
// opened at the first use and kept until it goes.
class CodePageCodec {
 public:
  explicit CodePageCodec(CodePage page);
  ~CodePageCodec();
  CodePageCodec(const CodePageCodec&) = delete;
  CodePageCodec& operator=(const CodePageCodec&) = delete;

  // False when the host cannot convert the code page at all.
  bool Usable();
  // Appends the code page's bytes of the character; false, with nothing appended, when
  // the code page has no such character.
  bool Encode(char32_t codePoint, std::string* out);
  // The character whose bytes begin at bytes[pos] (pos < bytes.size()) in *codePoint and
  // how many bytes it takes (1, or 2 in a double-byte code page); 0 when no character of
  // the code page begins there.
  size_t Decode(std::string_view bytes, size_t pos, char32_t* codePoint);
  // True when the byte begins a double-byte character: alone it is no character.
  bool IsLeadByte(unsigned char byte);

 private:
  struct Host;
  CodePage page_;
  std::unique_ptr<Host> host_;
};

}  // namespace korvane
