// Any bytes as machine.ini: the facts or an error with a line, never a crash.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/offline/formats/ini_section.h"
#include "platform/offline/formats/machine_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  korvane::MachineIni ini;
  const auto error = korvane::ParseMachineIni(text, &ini);
  if (error && (error->line < 1 || error->message.empty())) std::abort();
  if (!error && ini.platform && *ini.platform > 2) std::abort();
  korvane::ReadIniSection(text, "drivers");
  return 0;
}
