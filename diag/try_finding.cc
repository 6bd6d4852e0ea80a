// The one-line form of a try's finding between processes, and what a child that left none
// tells by how it ended.
#include "diag/try_finding.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/format.h"

namespace korvane {
namespace {

// Tabs and line breaks would split the line; anything else passes as it is.
std::string OneField(const std::string& text) {
  std::string field = text;
  for (char& c : field) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return field;
}

// Splits at tabs, at most maxFields fields (the last keeps any further tabs).
std::vector<std::string> SplitTabs(const std::string& line, size_t maxFields) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() + 1 < maxFields) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string::npos) break;
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

// A decimal or 0x-hexadecimal number that fills the whole text.
std::optional<unsigned long long> WholeNumber(const std::string& text) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

// A child's output at its line feeds; the parsers drop a carriage return themselves.
std::vector<std::string> OutputLines(const std::string& output) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    lines.push_back(output.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

constexpr char kTag[] = "korvane-try";
constexpr char kStageTag[] = "korvane-try-stage";

}  // namespace

std::string FindingLine(size_t file, size_t stream, const TryFinding& finding) {
  const std::string module = finding.module.empty() ? "-" : OneField(finding.module);
  return Format("%s\t%u\t%u\t%s\t0x%08X\t", kTag, static_cast<unsigned>(file),
                static_cast<unsigned>(stream), TryOutcomeName(finding.outcome),
                finding.exceptionCode) +
         module + "\t" + OneField(finding.text);
}

std::optional<ParsedFinding> ParseFindingLine(const std::string& rawLine) {
  std::string line = rawLine;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  const std::vector<std::string> fields = SplitTabs(line, 7);
  if (fields.size() != 7 || fields[0] != kTag) return std::nullopt;
  const auto file = WholeNumber(fields[1]);
  const auto stream = WholeNumber(fields[2]);
  const auto outcome = TryOutcomeFromName(fields[3]);
  const auto code = WholeNumber(fields[4]);
  if (!file || !stream || !outcome || !code || *code > 0xFFFFFFFFull) return std::nullopt;
  if (*file > 0xFFFFFFFFull || *stream > 0xFFFFFFFFull) return std::nullopt;
  ParsedFinding parsed;
  parsed.file = static_cast<size_t>(*file);
  parsed.stream = static_cast<size_t>(*stream);
  parsed.finding.outcome = *outcome;
  parsed.finding.exceptionCode = static_cast<uint32_t>(*code);
  parsed.finding.module = fields[5] == "-" ? std::string() : fields[5];
  parsed.finding.text = fields[6];
  return parsed;
}

std::string StageLine(const std::string& stage) {
  return std::string(kStageTag) + "\t" + OneField(stage);
}

std::optional<std::string> ParseStageLine(const std::string& rawLine) {
  std::string line = rawLine;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  const std::string prefix = std::string(kStageTag) + "\t";
  if (line.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return line.substr(prefix.size());
}

TryFinding FindingFromExitCode(uint32_t exitCode, const std::string& stage) {
  TryFinding finding;
  const std::string where = stage.empty() ? std::string() : " while " + stage;
  const bool exception =
      exitCode >= 0xC0000000u || (exitCode >= 0x80000001u && exitCode <= 0x8000000Fu);
  if (exception) {
    finding.outcome = TryOutcome::kCrashed;
    finding.exceptionCode = exitCode;
    finding.text = CrashText(exitCode, std::string()) + where;
  } else if (exitCode == 3) {
    finding.outcome = TryOutcome::kCrashed;
    finding.text = "crashed: aborted (exit code 3)" + where;
  } else {
    finding.outcome = TryOutcome::kNotTried;
    finding.text =
        Format("not tried: the try ended with exit code %u and no finding", exitCode) + where;
  }
  return finding;
}

std::vector<ParsedFinding> ParseFindingLines(const std::string& output) {
  std::vector<ParsedFinding> findings;
  for (const std::string& line : OutputLines(output)) {
    if (auto parsed = ParseFindingLine(line)) findings.push_back(std::move(*parsed));
  }
  return findings;
}

TryFinding FindingFromChildOutput(const std::string& output, uint32_t exitCode) {
  const std::vector<ParsedFinding> findings = ParseFindingLines(output);
  if (!findings.empty()) return findings.front().finding;
  return FindingFromExitCode(exitCode, LastStage(output));
}

std::string DurationText(int milliseconds) {
  if (milliseconds % 1000 == 0) return Format("%d s", milliseconds / 1000);
  if (milliseconds < 1000) return Format("%d ms", milliseconds);
  std::string fraction = Format("%03d", milliseconds % 1000);
  while (fraction.back() == '0') fraction.pop_back();
  return Format("%d.", milliseconds / 1000) + fraction + " s";
}

TryFinding HungFinding(int timeoutMs, const std::string& stage) {
  TryFinding finding;
  finding.outcome = TryOutcome::kHung;
  finding.text = "hangs: no answer within " + DurationText(timeoutMs) +
                 (stage.empty() ? std::string() : " while " + stage) + "; the try was stopped";
  return finding;
}

std::string LastStage(const std::string& output) {
  std::string stage;
  for (const std::string& line : OutputLines(output)) {
    if (const auto named = ParseStageLine(line)) stage = *named;
  }
  return stage;
}

}  // namespace korvane
