// korvane dump: the file dump of each named file, as the Open AVI command shows it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "avi/avi_dump.h"
#include "cli/cli_window.h"
#include "cli/commands.h"

namespace korvane {
namespace {

const char kDumpDescription[] =
    "Shows the head of AVI files: hex dump, RIFF checks, codec by FourCC.\n\n"
    "For each FILE in order: a hex dump of its first 384 bytes, whether it starts\n"
    "with RIFF, whether the size its header declares fits the file, and the codec\n"
    "named by the FourCC at offset 188.\n";

const char kDumpExitStatus[] =
    "Exit status: 0 when every file was dumped, 1 when a file could not be opened or\n"
    "the report could not be written in full, 2 for a usage error.\n";

struct DumpArgs {
  std::vector<std::string> files;
  std::string reportPath;
};

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

int RunDump(const DumpArgs& args) {
  return args.reportPath.empty() ? DumpToStdout(args.files)
                                 : DumpToReportFile(args.files, args.reportPath);
}

}  // namespace

Command AddDumpCommand(CLI::App& korvane) {
  auto args = std::make_shared<DumpArgs>();
  CLI::App* app = korvane.add_subcommand("dump", kDumpDescription);
  app->footer(kDumpExitStatus);
  TakesValue(app->add_option("-o", args->reportPath,
                             "write the lines to REPORT (CR LF after each line) instead of "
                             "standard output"),
             "REPORT");
  app->add_option("FILE", args->files)->required();
  return {app, [args] { return RunDump(*args); }};
}

}  // namespace korvane
