// printf-style formatting with the rules of the Windows formatter (wsprintfA).
//
// Arguments are captured by type, so a conversion can never read memory that was not
// passed: a string conversion given a number, a number conversion given a string, or a
// conversion with no argument left prints as if given "(null)" or 0. Outside text
// (file names, registry data) must only ever travel as an argument of "%s".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvane {

// The formatter stops at this many bytes, the terminating zero included.
constexpr size_t kFormatLimit = 1024;

class FormatArg {
 public:
  FormatArg(int v) : number_(v) {}
  FormatArg(unsigned v) : number_(v) {}
  FormatArg(long v) : number_(v) {}
  FormatArg(unsigned long v) : number_(static_cast<int64_t>(v)) {}
  FormatArg(long long v) : number_(v) {}
  FormatArg(unsigned long long v) : number_(static_cast<int64_t>(v)) {}
  FormatArg(char v) : number_(static_cast<unsigned char>(v)) {}
  FormatArg(unsigned char v) : number_(v) {}
  FormatArg(const char* v) : text_(v), isText_(true) {}
  FormatArg(const std::string& v) : text_(v.c_str()), isText_(true) {}

  bool isText() const { return isText_; }
  int64_t number() const { return isText_ ? 0 : number_; }
  const char* text() const { return isText_ ? text_ : nullptr; }

 private:
  int64_t number_ = 0;
  const char* text_ = nullptr;
  bool isText_ = false;
};

// Formats with the given arguments. The result is cut to kFormatLimit - 1 bytes and,
// as the C string the Windows formatter produces, ends at its first zero byte.
std::string FormatArgs(const char* format, const FormatArg* args, size_t count);

template <typename... Args>
std::string Format(const char* format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  return FormatArgs(format, list, sizeof...(Args));
}

// A FourCC as its four characters when they are all printable ASCII, else "0xXXXXXXXX".
std::string FourCCText(uint32_t fourcc);

}  // namespace korvane
