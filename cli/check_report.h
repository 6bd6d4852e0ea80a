// korvane check's findings for a list of files, as lines or as one JSON document.
#pragma once

#include <string>
#include <vector>

#include "diag/decoder_check.h"
#include "diag/file_check.h"
#include "diag/report_facts.h"
#include "platform/system.h"
#include "platform/text_encoding.h"

namespace korvane {

struct CheckedMachine {
  std::string label;    // what the user named: the --machine folder, or "this machine"
  std::string version;  // "Windows 4.10 build 2222 (Win9x)"
  InstalledDrivers drivers;
  CodePage codePage = kDefaultAnsiCodePage;  // its text's (a saved report cannot say)
};
CheckedMachine ReadCheckedMachine(System& system, const std::string& label);
// The machine a saved report was made on, as far as the report tells.
CheckedMachine ReportCheckedMachine(const ReportFacts& report, const std::string& label);

std::string CheckLines(const CheckedMachine& machine, const std::vector<FileCheck>& files);
std::string CheckJson(const CheckedMachine& machine, const std::vector<FileCheck>& files);

}  // namespace korvane
