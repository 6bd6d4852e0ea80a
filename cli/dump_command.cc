// korvane dump: the file dump of each named file, as the Open AVI command shows it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "avi/avi_dump.h"
#include "cli/cli_window.h"
#include "cli/commands.h"

namespace korvane {
namespace {

const char kDumpUsage[] =
    "usage: korvane dump [-o REPORT] FILE...\n\n"
    "For each FILE in order: a hex dump of its first 384 bytes, whether it starts\n"
    "with RIFF, whether the size its header declares fits the file, and the codec\n"
    "named by the FourCC at offset 188.\n\n"
    "  -o REPORT   write the lines to REPORT (CR LF after each line) instead of\n"
    "              standard output\n"
    "  --help      show this text\n\n"
    "Exit status: 0 when every file was dumped, 1 when a file could not be opened or\n"
    "the report could not be written in full, 2 for a usage error.\n";

int UsageError(const char* message) {
  std::fprintf(stderr, "korvane dump: %s\n\n%s", message, kDumpUsage);
  return kExitUsage;
}

int DumpToReportFile(const std::vector<std::string>& files, const std::string& reportPath) {
  CollectingWindow window;
  SetMainWindow(&window);
  for (const std::string& file : files) DumpAviFile(window, file);
  const SaveResult saved = SaveReport(window, reportPath, window.LineCount());
  SetMainWindow(nullptr);
  if (saved == SaveResult::kIncomplete) {
    std::fprintf(stderr, "korvane dump: %s is incomplete: writing it failed\n", reportPath.c_str());
  }
  return window.errors == 0 && saved == SaveResult::kSaved ? kExitOk : kExitFindings;
}

int DumpToStdout(const std::vector<std::string>& files) {
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  StreamWindow window(stdout);
  SetMainWindow(&window);
  for (const std::string& file : files) DumpAviFile(window, file);
  SetMainWindow(nullptr);
  const bool flushed = std::fflush(stdout) == 0 && !window.writeFailed();
  if (!flushed) std::fprintf(stderr, "korvane dump: writing standard output failed\n");
  return window.errors() == 0 && flushed ? kExitOk : kExitFindings;
}

}  // namespace

int DumpCommand(int argc, char** argv) {
  std::vector<std::string> files;
  std::string reportPath;
  bool optionsDone = false;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsDone && std::strcmp(arg, "--") == 0) {
      optionsDone = true;
    } else if (!optionsDone && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
      std::fputs(kDumpUsage, stdout);
      return kExitOk;
    } else if (!optionsDone && std::strcmp(arg, "-o") == 0) {
      if (i + 1 >= argc) return UsageError("-o needs a file name");
      if (!reportPath.empty()) return UsageError("-o given twice");
      reportPath = argv[++i];
      if (reportPath.empty()) return UsageError("-o needs a file name");
    } else if (!optionsDone && arg[0] == '-' && arg[1] != '\0') {
      return UsageError((std::string("unknown option ") + arg).c_str());
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return UsageError("no FILE given");
  return reportPath.empty() ? DumpToStdout(files) : DumpToReportFile(files, reportPath);
}

}  // namespace korvane
