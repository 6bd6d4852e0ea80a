// The locale's character set, asked without changing the program's own locale.
#include <langinfo.h>
#include <locale.h>

#include <cstring>

#include "cli/output_encoding.h"

namespace korvane {

std::optional<CodePage> StandardOutputUtf8From(CodePage machinePage) {
  const locale_t wanted = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (wanted == static_cast<locale_t>(0)) return std::nullopt;  // a locale not installed
  const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, wanted), "UTF-8") == 0;
  freelocale(wanted);
  return utf8 ? std::optional<CodePage>(machinePage) : std::nullopt;
}

}  // namespace korvane
