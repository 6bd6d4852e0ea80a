// The findings of a try, their one-line form and the names of the codes they carry.
#include "cli/try_finding.h"

#include <cstdlib>
#include <vector>

#include "platform/format.h"

namespace korvane {
namespace {

struct NamedCode {
  long code;
  const char* name;
};

// Video for Windows decompressor results (vfw.h).
const NamedCode kIcErrors[] = {
    {0, "ICERR_OK"},           {1, "ICERR_DONTDRAW"},       {2, "ICERR_NEWPALETTE"},
    {3, "ICERR_GOTOKEYFRAME"}, {4, "ICERR_STOPDRAWING"},    {-1, "ICERR_UNSUPPORTED"},
    {-2, "ICERR_BADFORMAT"},   {-3, "ICERR_MEMORY"},        {-4, "ICERR_INTERNAL"},
    {-5, "ICERR_BADFLAGS"},    {-6, "ICERR_BADPARAM"},      {-7, "ICERR_BADSIZE"},
    {-8, "ICERR_BADHANDLE"},   {-9, "ICERR_CANTUPDATE"},    {-10, "ICERR_ABORT"},
    {-100, "ICERR_ERROR"},     {-200, "ICERR_BADBITDEPTH"}, {-201, "ICERR_BADIMAGESIZE"},
};

// Multimedia system and Audio Compression Manager results (mmsystem.h, msacm.h).
const NamedCode kMmResults[] = {
    {0, "MMSYSERR_NOERROR"},      {1, "MMSYSERR_ERROR"},         {2, "MMSYSERR_BADDEVICEID"},
    {3, "MMSYSERR_NOTENABLED"},   {4, "MMSYSERR_ALLOCATED"},     {5, "MMSYSERR_INVALHANDLE"},
    {6, "MMSYSERR_NODRIVER"},     {7, "MMSYSERR_NOMEM"},         {8, "MMSYSERR_NOTSUPPORTED"},
    {9, "MMSYSERR_BADERRNUM"},    {10, "MMSYSERR_INVALFLAG"},    {11, "MMSYSERR_INVALPARAM"},
    {12, "MMSYSERR_HANDLEBUSY"},  {13, "MMSYSERR_INVALIDALIAS"}, {14, "MMSYSERR_BADDB"},
    {15, "MMSYSERR_KEYNOTFOUND"}, {16, "MMSYSERR_READERROR"},    {17, "MMSYSERR_WRITEERROR"},
    {18, "MMSYSERR_DELETEERROR"}, {19, "MMSYSERR_VALNOTFOUND"},  {20, "MMSYSERR_NODRIVERCB"},
    {21, "MMSYSERR_MOREDATA"},    {512, "ACMERR_NOTPOSSIBLE"},   {513, "ACMERR_BUSY"},
    {514, "ACMERR_UNPREPARED"},   {515, "ACMERR_CANCELED"},
};

// AVIFile results: MAKE_AVIERR(n) is 0x80044000 + n (vfw.h).
const NamedCode kAviErrors[] = {
    {101, "AVIERR_UNSUPPORTED"},    {102, "AVIERR_BADFORMAT"},    {103, "AVIERR_MEMORY"},
    {104, "AVIERR_INTERNAL"},       {105, "AVIERR_BADFLAGS"},     {106, "AVIERR_BADPARAM"},
    {107, "AVIERR_BADSIZE"},        {108, "AVIERR_BADHANDLE"},    {109, "AVIERR_FILEREAD"},
    {110, "AVIERR_FILEWRITE"},      {111, "AVIERR_FILEOPEN"},     {112, "AVIERR_COMPRESSOR"},
    {113, "AVIERR_NOCOMPRESSOR"},   {114, "AVIERR_READONLY"},     {115, "AVIERR_NODATA"},
    {116, "AVIERR_BUFFERTOOSMALL"}, {117, "AVIERR_CANTCOMPRESS"}, {198, "AVIERR_USERABORT"},
    {199, "AVIERR_ERROR"},
};

struct NamedException {
  uint32_t code;
  const char* name;
};

const NamedException kExceptions[] = {
    {0x80000002u, "datatype misalignment"},
    {0x80000003u, "breakpoint"},
    {0xC0000005u, "access violation"},
    {0xC0000006u, "in-page error"},
    {0xC000001Du, "illegal instruction"},
    {0xC000008Cu, "array bounds exceeded"},
    {0xC000008Eu, "floating-point division by zero"},
    {0xC0000090u, "invalid floating-point operation"},
    {0xC0000094u, "integer division by zero"},
    {0xC0000095u, "integer overflow"},
    {0xC0000096u, "privileged instruction"},
    {0xC00000FDu, "stack overflow"},
    {0xC0000374u, "heap corruption"},
    {0xC0000409u, "stack buffer overrun"},
    {0xE06D7363u, "C++ exception"},
};

template <size_t N>
const char* Lookup(const NamedCode (&table)[N], long code) {
  for (const NamedCode& entry : table) {
    if (entry.code == code) return entry.name;
  }
  return nullptr;
}

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

constexpr char kTag[] = "korvane-try";
constexpr char kStageTag[] = "korvane-try-stage";

}  // namespace

const char* TryOutcomeName(TryOutcome outcome) {
  switch (outcome) {
    case TryOutcome::kDecodes:
      return "decodes";
    case TryOutcome::kDoesNotDecode:
      return "does not decode";
    case TryOutcome::kCrashed:
      return "crashed";
    case TryOutcome::kHung:
      return "hung";
    case TryOutcome::kNotTried:
      return "not tried";
  }
  return "not tried";
}

std::optional<TryOutcome> TryOutcomeFromName(const std::string& name) {
  for (TryOutcome outcome : {TryOutcome::kDecodes, TryOutcome::kDoesNotDecode, TryOutcome::kCrashed,
                             TryOutcome::kHung, TryOutcome::kNotTried}) {
    if (name == TryOutcomeName(outcome)) return outcome;
  }
  return std::nullopt;
}

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

std::string ExceptionName(uint32_t code) {
  for (const NamedException& entry : kExceptions) {
    if (entry.code == code) return entry.name;
  }
  return std::string();
}

std::string CrashText(uint32_t code, const std::string& module) {
  std::string text = Format("crashed: exception 0x%08X", code);
  const std::string name = ExceptionName(code);
  if (!name.empty()) text += " (" + name + ")";
  text += module.empty() ? " in an unknown module" : " in " + module;
  return text;
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

TryFinding FindingFromChildOutput(const std::string& output, uint32_t exitCode) {
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    if (const auto parsed = ParseFindingLine(output.substr(start, end - start))) {
      return parsed->finding;
    }
    start = end + 1;
  }
  return FindingFromExitCode(exitCode, LastStage(output));
}

std::string DurationText(int milliseconds) {
  if (milliseconds % 1000 == 0) return Format("%d s", milliseconds / 1000);
  if (milliseconds < 1000) return Format("%d ms", milliseconds);
  std::string fraction = Format("%03d", milliseconds % 1000);
  while (fraction.back() == '0') fraction.pop_back();
  return Format("%d.", milliseconds / 1000) + fraction + " s";
}

std::string WindowsCommandLineArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    return argument;
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
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
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    if (const auto named = ParseStageLine(output.substr(start, end - start))) stage = *named;
    start = end + 1;
  }
  return stage;
}

std::string IcErrorName(long code) {
  if (const char* name = Lookup(kIcErrors, code)) return name;
  return Format("error %ld", code);
}

std::string MmResultName(unsigned code) {
  if (const char* name = Lookup(kMmResults, static_cast<long>(code))) return name;
  return Format("error %u", code);
}

std::string AviErrorName(long code) {
  const uint32_t hr = static_cast<uint32_t>(code);
  if (hr >= 0x80044000u && hr < 0x80044100u) {
    if (const char* name = Lookup(kAviErrors, static_cast<long>(hr - 0x80044000u))) return name;
  }
  if (hr == 0x80040154u) return "REGDB_E_CLASSNOTREG";
  if (hr == 0x80004005u) return "E_FAIL";
  if (hr == 0x8007000Eu) return "E_OUTOFMEMORY";
  return Format("error 0x%08X", hr);
}

}  // namespace korvane
