// Code pages through the Windows API's own tables, for the offline machine read on Windows.
#include <windows.h>

#include "platform/code_page.h"

namespace korvane {

struct CodePageCodec::Host {};

CodePageCodec::CodePageCodec(CodePage page) : page_(page) {}
CodePageCodec::~CodePageCodec() = default;

bool CodePageCodec::Usable() { return IsValidCodePage(static_cast<UINT>(page_)) != 0; }

bool CodePageCodec::Encode(char32_t codePoint, std::string* out) {
  if (!Usable()) return false;
  std::u16string units;
  AppendUtf16(codePoint, &units);
  char bytes[16];
  BOOL usedDefault = FALSE;
  const auto convert = [&](DWORD flags) {
    return WideCharToMultiByte(
        static_cast<UINT>(page_), flags, reinterpret_cast<LPCWCH>(units.data()),
        static_cast<int>(units.size()), bytes, sizeof bytes, nullptr, &usedDefault);
  };
  // No best fit: a character the code page lacks is the default character, as the
  // registry's ANSI calls give it, never a look-alike. Windows before 2000 knows no such
  // flag and fits nothing anyway.
  int size = convert(WC_NO_BEST_FIT_CHARS);
  if (size <= 0 && GetLastError() == ERROR_INVALID_FLAGS) size = convert(0);
  if (size <= 0 || usedDefault) return false;
  out->append(bytes, static_cast<size_t>(size));
  return true;
}

size_t CodePageCodec::Decode(std::string_view bytes, size_t pos, char32_t* codePoint) {
  if (!Usable()) return 0;
  const UINT page = static_cast<UINT>(page_);
  size_t length = IsDBCSLeadByteEx(page, static_cast<BYTE>(bytes[pos])) ? 2 : 1;
  if (pos + length > bytes.size()) return 0;
  WCHAR units[4];
  const int count = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data() + pos,
                                        static_cast<int>(length), units, 4);
  if (count <= 0) return 0;
  char32_t c = units[0];
  if (count >= 2 && c >= 0xD800 && c <= 0xDBFF)
    c = 0x10000 + ((c - 0xD800) << 10) + (units[1] - 0xDC00);
  *codePoint = c;
  return length;
}

bool CodePageCodec::IsLeadByte(unsigned char byte) {
  return Usable() && IsDBCSLeadByteEx(static_cast<UINT>(page_), byte) != 0;
}

}  // namespace korvane
