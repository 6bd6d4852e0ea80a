// The report log over whatever ReportWindow the front end installed.
#include "report/report.h"

#include <cstdio>

namespace korvane {

const char kErrorCaption[] = "Korvane error";
const char kMoreErrorsQuestion[] = "\r\n\r\nReport more errors ?";

namespace {
ReportWindow* g_mainWindow = nullptr;
bool g_reportMoreErrors = true;
}  // namespace

void SetMainWindow(ReportWindow* window) { g_mainWindow = window; }
ReportWindow* MainWindow() { return g_mainWindow; }

bool ReportMoreErrors() { return g_reportMoreErrors; }
void ResetReportMoreErrors() { g_reportMoreErrors = true; }

int AddReportLineText(const std::string& line) {
  if (g_mainWindow != nullptr) g_mainWindow->AppendLine(line);
  return 0;
}

int ClearReport(ReportWindow& window) {
  window.ClearLines();
  return 0;
}

int ShowErrorText(const std::string& message) {
  if (!g_reportMoreErrors || g_mainWindow == nullptr) return 0;
  const std::string text = message + kMoreErrorsQuestion;
  if (g_mainWindow->AskUser(text, kErrorCaption, kErrorBoxFlags) != kIdYes) {
    g_reportMoreErrors = false;
  }
  return 0;
}

SaveResult SaveReport(ReportWindow& window, const std::string& path, int lineCount) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    ShowError("can't save %s", path);
    return SaveResult::kCannotCreate;
  }
  bool complete = true;
  for (int i = 0; i < lineCount; ++i) {
    // A line never holds more than the formatter's 1,023 characters.
    std::string line = window.Line(i);
    if (line.size() >= kFormatLimit) line.resize(kFormatLimit - 1);
    line += "\r\n";
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) complete = false;
  }
  if (std::fclose(file) != 0) complete = false;
  return complete ? SaveResult::kSaved : SaveResult::kIncomplete;
}

}  // namespace korvane
