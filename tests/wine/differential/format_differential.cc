// Native side of the formatter differential: makes the case file, and compares what the
// real wvsprintfA gave (wsprintf-probe.exe under Wine) with korvane::FormatArgs.
//
// Usage: format-differential generate CASES
//        format-differential compare CASES RESULTS
// compare exits 0 when every case agrees or differs only as listed in kKnownDifferences.
#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/format.h"
#include "tests/wine/differential/format_cases.h"

namespace korvane::differential {
namespace {

// Cases whose outputs may differ, by category (the part of the case name before "/"),
// each with the reason. Nothing else may differ.
struct KnownDifference {
  const char* category;
  const char* reason;
};
const KnownDifference kKnownDifferences[] = {
    {"hash-bound",
     "With the '#' flag Wine counts the \"0x\" after it has cut the digits to the room left, "
     "so a hexadecimal field that reaches the 1,024-byte bound runs two bytes past the "
     "buffer. Korvane's formatter stops at 1,023 characters."},
    {"wide-char",
     "%C and %lc take a UTF-16 character and convert it through the ANSI code page's "
     "best-fit table; Korvane has no UTF-16 text and keeps the low byte. Korvane never uses "
     "these conversions."},
    {"hash-decimal",
     "Wine adds two to the length of any number with the '#' flag, so for %d and %u it "
     "copies the number's terminating zero and one stale byte of its digit buffer into the "
     "output; the zero ends the text right after the digits and everything after the field "
     "is lost. The '#' flag means nothing for decimal numbers, and Korvane's formatter "
     "ignores it there."},
};

// Not generated at all, because Wine would misbehave or the case cannot be written as a
// typed argument list:
// - '#' with %x/%X when fewer than four bytes are left before the 1,024-byte bound: Wine
//   skips the "0x" but still counts it, so its remaining length wraps around and it
//   writes past the output buffer.
// - %p and %I (pointer-sized): the x86_64 probe runs as a 64-bit program, Korvane as a
//   32-bit one; the field widths and argument sizes differ by design.
// - %S, %ls, %ws, %lc with wide strings: Korvane never passes UTF-16 text to the formatter.
// - A conversion without an argument: the real formatter reads whatever is on the stack.

class CaseMaker {
 public:
  explicit CaseMaker(std::vector<FormatCase>* cases) : cases_(cases) {}

  void Add(const std::string& category, const std::string& format, std::vector<CaseArg> args = {}) {
    FormatCase c;
    c.name = category + "/" + std::to_string(++counts_[category]);
    c.format = format;
    c.args = std::move(args);
    cases_->push_back(std::move(c));
  }

 private:
  std::vector<FormatCase>* cases_;
  std::map<std::string, int> counts_;
};

CaseArg Num(int64_t value) {
  CaseArg a;
  a.number = value;
  return a;
}

CaseArg Text(const std::string& text) {
  CaseArg a;
  a.isText = true;
  a.text = text;
  return a;
}

const int64_t kNumbers[] = {
    0,     1,    -1,      7,       42,       -42,        255,        266,        2195,       65535,
    65536, 1999, INT_MAX, INT_MIN, -INT_MAX, 0x80000000, 0xFFFFFFFF, 0xDEADBEEF, 0x123456789};
const char* const kFlags[] = {"", "-", "0", "-0", "0-"};
const char* const kWidths[] = {"", "1", "2", "5", "8", "12"};
const char* const kPrecisions[] = {"", ".", ".0", ".1", ".3", ".10"};

// Every numeric conversion of the report and its relatives, through flags, widths,
// precisions and the interesting 32-bit values.
void AddNumberCases(CaseMaker& make) {
  const char* const conversions[] = {"d", "i", "u", "x", "X", "ld", "lX", "lu", "hd", "hX"};
  for (const char* conversion : conversions) {
    for (const char* flags : kFlags) {
      for (const char* width : kWidths) {
        for (const char* precision : kPrecisions) {
          const std::string field = std::string("%") + flags + width + precision + conversion;
          for (int64_t n : kNumbers) make.Add("number", "[" + field + "]", {Num(n)});
        }
      }
    }
  }
  // The exact fields the report uses, with the neighbours they sit between.
  for (int64_t n : kNumbers) {
    make.Add("report", "%02X %02X", {Num(n), Num(n >> 4)});
    make.Add("report", "%d-%02d-%02d", {Num(n), Num(n & 15), Num(n % 32)});
    make.Add("report", "%s = 0x%08X", {Text("HKCR\\AVIFile\\EditFlags"), Num(n)});
    make.Add("report", "build 0x%lX (%d)", {Num(n), Num(n & 0xFFFF)});
    make.Add("report", "Video for Windows version: 0x%X", {Num(n)});
    make.Add("I64", "%I64d|%I64X|%I64u", {Num(n), Num(n), Num(n)});
  }
  make.Add("I64", "%I64d", {Num(INT64_MIN)});
  make.Add("I64", "%I64X", {Num(-1)});
}

void AddHexPrefixCases(CaseMaker& make) {
  const char* const fields[] = {"%#x", "%#X", "%#8X", "%-#8x", "%#08X", "%#.6x", "%#1x"};
  for (const char* field : fields) {
    for (int64_t n : {int64_t{0}, int64_t{255}, int64_t{-1}, int64_t{0x10000}}) {
      make.Add("hash-hex", std::string("[") + field + "]", {Num(n)});
    }
  }
  for (const char* field : {"%#d", "%#5d", "%#u", "%#05d"}) {
    for (int64_t n : {int64_t{42}, int64_t{-42}, int64_t{0}}) {
      make.Add("hash-decimal", std::string("[") + field + "]", {Num(n)});
    }
  }
}

void AddTextCases(CaseMaker& make) {
  const std::string texts[] = {"",
                               "a",
                               "abc",
                               "C:\\WINDOWS\\SYSTEM\\msvfw32.dll",
                               "50%s %d %n",
                               "tab\there",
                               "\x01\x7f\x80\xff",
                               "caf\xe9",
                               std::string(300, 'm')};
  const char* const fields[] = {"%s",    "%5s",    "%-5s", "%.2s", "%.0s", "%05s",
                                "%8.3s", "%-8.3s", "%ls",  "%hs",  "%1s",  "%-1s"};
  for (const char* field : fields) {
    for (const std::string& text : texts) {
      // %ls would read a wide string: only the narrow forms are compared.
      if (std::string(field) == "%ls") continue;
      make.Add("text", std::string("[") + field + "]", {Text(text)});
    }
  }
  make.Add("text", "%s=%s|%s", {Text("a"), Text(""), Text("c")});
  make.Add("text", "%s", {Text(std::string(4000, 'z'))});
}

void AddCharCases(CaseMaker& make) {
  const int64_t chars[] = {'A', ' ', '%', 0x7F, 0xE9, 0xFF, -1, 0x141, 0x1FF41};
  for (const char* field : {"%c", "%3c", "%-3c", "%03c", "%.5c", "%hc", "%hC", "%wc"}) {
    for (int64_t c : chars) make.Add("char", std::string("[") + field + "]", {Num(c)});
  }
  for (const char* field : {"%lc", "%C"}) {
    for (int64_t c : chars) make.Add("wide-char", std::string("[") + field + "]", {Num(c)});
  }
  make.Add("char", "ab%cde", {Num(0)});
  make.Add("char", "%c%c%c%c", {Num('R'), Num('I'), Num('F'), Num('F')});
}

void AddPercentAndUnknownCases(CaseMaker& make) {
  make.Add("percent", "100%%");
  make.Add("percent", "%%d%%s");
  make.Add("percent", "======== %%WINDIR%%\\System\\msvc*.* ========");
  make.Add("percent", "%5%");
  make.Add("percent", "%-5%|");
  make.Add("percent", "%%%d%%", {Num(3)});
  make.Add("unknown", "%q%d", {Num(3)});
  make.Add("unknown", "[%5q]");
  make.Add("unknown", "[%-5q]");
  make.Add("unknown", "[%5.2q]");
  make.Add("unknown", "[%.7q]");
  make.Add("unknown", "[%05q]");
  make.Add("unknown", "[%lq]");
  make.Add("unknown", "[%I6d]", {Num(5)});
  make.Add("unknown", "[%I32d]", {Num(-5)});
  make.Add("unknown", "end%");
  make.Add("unknown", "end%5");
  make.Add("unknown", "end%l");
  make.Add("unknown", "[%z%y%s]", {Text("t")});
  make.Add("unknown", "[% d]", {Num(4)});
  make.Add("unknown", "[%+d]", {Num(4)});
  make.Add("width", "[%4294967297d]", {Num(7)});
  make.Add("width", "[%.4294967298d]", {Num(7)});
  make.Add("width", "[%2000d]", {Num(7)});
  make.Add("width", "[%-2000d]", {Num(7)});
  make.Add("width", "[%.2000d]", {Num(-7)});
  make.Add("width", "[%2000s]", {Text("w")});
  make.Add("width", "[%2000c]", {Num('c')});
}

// Fields that land on the 1,024-byte bound: the output holds at most 1,023 characters,
// and each field is cut or padded only to the room left.
void AddBoundCases(CaseMaker& make) {
  const char* const fields[] = {"%d",   "%X",     "%08X",  "%02d",  "%lX", "%c",   "%%",
                                "%10d", "%-10d|", "%010d", "%.12d", "%s",  "%10s", "%-10s|",
                                "%.3s", "%u",     "%5q",   "%#X",   "abc", "%I64d"};
  const int64_t numbers[] = {123456, INT_MIN, 0, 0xFFFFFFFF};
  for (int lead = 1010; lead <= 1024; ++lead) {
    const std::string prefix(static_cast<size_t>(lead), 'p');
    for (const char* field : fields) {
      const std::string f = field;
      // Wine writes past its buffer when "0x" does not fit (see above).
      if (f == "%#X" && lead > 1018) continue;
      for (bool prefixAsArgument : {true, false}) {
        const std::string format = prefixAsArgument ? "%s" + f : prefix + f;
        std::vector<CaseArg> head;
        if (prefixAsArgument) head.push_back(Text(prefix));
        if (f.find('s') != std::string::npos) {
          auto args = head;
          args.push_back(Text("tail-text"));
          make.Add("bound", format, args);
        } else if (f == "%c") {
          auto args = head;
          args.push_back(Num('C'));
          make.Add("bound", format, args);
        } else {
          for (int64_t n : numbers) {
            auto args = head;
            args.push_back(Num(n));
            make.Add(f == "%#X" ? "hash-bound" : "bound", format, args);
          }
        }
      }
    }
  }
  // Strings that reach the bound on their own, or in pieces.
  for (size_t length : {1021, 1022, 1023, 1024, 1025, 1100}) {
    make.Add("bound-text", "%s", {Text(std::string(length, 'L'))});
    make.Add("bound-text", "ab%s", {Text(std::string(length, 'L'))});
    make.Add("bound-text", "%s%s",
             {Text(std::string(length / 2, 'a')), Text(std::string(length - length / 2, 'b'))});
    make.Add("bound-text", std::string(length, 'F'));
    make.Add("bound-text", std::string(length, 'F') + "%d", {Num(9)});
    make.Add("bound-text", "%s = %s",
             {Text(std::string(length / 2, 'n')), Text(std::string(length / 2, 'v'))});
  }
  for (int i = 0; i < 8; ++i) {
    make.Add(
        "bound-text", "%s%s%s",
        {Text(std::string(500 + i, 'x')), Text(std::string(500, 'y')), Text(std::string(30, 'z'))});
  }
}

std::vector<FormatCase> GenerateCases() {
  std::vector<FormatCase> cases;
  CaseMaker make(&cases);
  AddNumberCases(make);
  AddHexPrefixCases(make);
  AddTextCases(make);
  AddCharCases(make);
  AddPercentAndUnknownCases(make);
  AddBoundCases(make);
  return cases;
}

std::string Category(const std::string& name) { return name.substr(0, name.find('/')); }

const KnownDifference* FindKnownDifference(const std::string& name) {
  for (const KnownDifference& known : kKnownDifferences) {
    if (Category(name) == known.category) return &known;
  }
  return nullptr;
}

std::string Ours(const FormatCase& c) {
  std::vector<FormatArg> args;
  for (const CaseArg& arg : c.args) {
    args.push_back(arg.isText ? FormatArg(arg.text.c_str()) : FormatArg(arg.number));
  }
  return FormatArgs(c.format.c_str(), args.data(), args.size());
}

std::string Describe(const FormatCase& c) {
  std::string text = "format \"" + EscapeField(c.format) + "\"";
  for (const CaseArg& arg : c.args) {
    text += arg.isText ? ", \"" + EscapeField(arg.text) + "\"" : ", " + std::to_string(arg.number);
  }
  return text.size() > 300 ? text.substr(0, 300) + "..." : text;
}

int Generate(const char* path) {
  std::ofstream out(path, std::ios::binary);
  for (const FormatCase& c : GenerateCases()) out << WriteCaseLine(c) << "\n";
  out.close();
  if (!out) {
    std::fprintf(stderr, "format-differential: cannot write %s\n", path);
    return 2;
  }
  return 0;
}

struct ProbeResult {
  std::string text;
  bool overran = false;
};

bool ReadResults(const char* path, std::map<std::string, ProbeResult>* results) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = SplitFields(line);
    std::string name;
    ProbeResult result;
    if (fields.size() < 3 || !UnescapeField(fields[0], &name) ||
        !UnescapeField(fields[2], &result.text)) {
      std::fprintf(stderr, "format-differential: %s: malformed line\n", path);
      return false;
    }
    result.overran = fields.size() > 3;
    (*results)[name] = result;
  }
  return true;
}

int Compare(const char* casesPath, const char* resultsPath) {
  std::ifstream in(casesPath, std::ios::binary);
  std::map<std::string, ProbeResult> results;
  if (!in || !ReadResults(resultsPath, &results)) {
    std::fprintf(stderr, "format-differential: cannot read %s or %s\n", casesPath, resultsPath);
    return 2;
  }
  int total = 0, same = 0, listed = 0, failed = 0;
  std::string line;
  while (std::getline(in, line)) {
    FormatCase c;
    if (!ReadCaseLine(line, &c)) {
      std::fprintf(stderr, "format-differential: %s: malformed case\n", casesPath);
      return 2;
    }
    ++total;
    auto found = results.find(c.name);
    if (found == results.end()) {
      std::printf("FAIL %s: no result from the Windows formatter\n", c.name.c_str());
      ++failed;
      continue;
    }
    const std::string ours = Ours(c);
    if (ours == found->second.text && !found->second.overran) {
      ++same;
      continue;
    }
    if (const KnownDifference* known = FindKnownDifference(c.name)) {
      ++listed;
      std::printf("listed %s: %s\n  windows: \"%s\"\n  korvane: \"%s\"\n", c.name.c_str(),
                  Describe(c).c_str(), EscapeField(found->second.text).c_str(),
                  EscapeField(ours).c_str());
      (void)known;
      continue;
    }
    ++failed;
    std::printf("FAIL %s: %s\n  windows: \"%s\"%s\n  korvane: \"%s\"\n", c.name.c_str(),
                Describe(c).c_str(), EscapeField(found->second.text).c_str(),
                found->second.overran ? " (wrote past 1,024 bytes)" : "",
                EscapeField(ours).c_str());
  }
  std::printf("\n%d cases: %d agree, %d differ as listed, %d differ unlisted\n", total, same,
              listed, failed);
  if (listed > 0) {
    std::printf("listed differences:\n");
    for (const KnownDifference& known : kKnownDifferences) {
      std::printf("  %s: %s\n", known.category, known.reason);
    }
  }
  return failed == 0 && total > 0 ? 0 : 1;
}

}  // namespace
}  // namespace korvane::differential

int main(int argc, char** argv) {
  using namespace korvane::differential;
  if (argc == 3 && std::string(argv[1]) == "generate") return Generate(argv[2]);
  if (argc == 4 && std::string(argv[1]) == "compare") return Compare(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: format-differential generate CASES\n"
               "       format-differential compare CASES RESULTS\n");
  return 2;
}
