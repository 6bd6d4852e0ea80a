// machine.ini and the plain ini reading that the capture driver list also needs.
#include "platform/offline/formats/machine_ini.h"

#include <set>

#include "platform/ascii.h"
#include "platform/offline/formats/text_lines.h"

namespace korvane {
namespace {

constexpr size_t kServicePackLimit = 127;  // the version record's text holds 127 characters

class MachineIniReader {
 public:
  explicit MachineIniReader(MachineIni* ini) : ini_(ini) {}

  std::optional<ParseError> Read(const std::string& text) {
    const std::vector<std::string> lines = SplitTextLines(NarrowText(text));
    for (size_t i = 0; i < lines.size(); ++i) {
      line_ = static_cast<int>(i) + 1;
      const std::string line = TrimBlanks(lines[i]);
      if (line.empty() || line[0] == ';' || line[0] == '#') continue;
      if (!(line[0] == '[' ? ReadSection(line) : ReadEntry(line))) return error_;
    }
    return std::nullopt;
  }

 private:
  bool Fail(const std::string& message) {
    error_ = ParseError{line_, message};
    return false;
  }

  bool ReadSection(const std::string& line) {
    if (line.back() != ']')
      return Fail("cannot read this section line: it does not end with \"]\"");
    section_ = AsciiLower(TrimBlanks(line.substr(1, line.size() - 2)));
    if (section_ != "machine" && section_ != "capture") {
      return Fail("unknown section [" + line.substr(1, line.size() - 2) +
                  "]: expected [machine] or [capture]");
    }
    if (section_ == "capture") ini_->captureGiven = true;
    return true;
  }

  bool ReadEntry(const std::string& line) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return Fail("cannot read this line: expected NAME=VALUE");
    if (section_.empty()) return Fail("a value comes before any [machine] or [capture] line");
    const std::string name = TrimBlanks(line.substr(0, equals));
    const std::string value = TrimBlanks(line.substr(equals + 1));
    if (!seen_.insert(section_ + "/" + AsciiLower(name)).second) {
      return Fail(name + " is given twice");
    }
    return section_ == "machine" ? ReadMachineValue(name, value) : ReadCaptureValue(name, value);
  }

  bool ReadNumber(const std::string& name, const std::string& value, std::optional<uint32_t>* out) {
    *out = ParseUint32(value);
    if (!*out) return Fail(name + " must be a 32-bit number, decimal or 0x hexadecimal");
    return true;
  }

  bool ReadCodePage(const std::string& name, const std::string& value,
                    std::optional<CodePage>* out) {
    *out = CodePageNamed(value);
    if (!*out) {
      return Fail(name + " must be the number of a Windows code page that can be converted here " +
                  "(such as 1252, 1251, 932 or 936), not \"" + value + "\"");
    }
    return true;
  }

  bool ReadMachineValue(const std::string& name, const std::string& value) {
    const std::string key = AsciiLower(name);
    if (key == "windowsdirectory") {
      ini_->windowsDirectory = value;
    } else if (key == "systemdirectory") {
      ini_->systemDirectory = value;
    } else if (key == "platform") {
      if (!ReadNumber(name, value, &ini_->platform)) return false;
      if (*ini_->platform > 2) return Fail("Platform must be 0, 1 or 2");
    } else if (key == "major") {
      return ReadNumber(name, value, &ini_->major);
    } else if (key == "minor") {
      return ReadNumber(name, value, &ini_->minor);
    } else if (key == "build") {
      return ReadNumber(name, value, &ini_->build);
    } else if (key == "vfwversion") {
      return ReadNumber(name, value, &ini_->vfwVersion);
    } else if (key == "servicepack") {
      if (value.size() > kServicePackLimit) {
        return Fail("ServicePack is longer than the 127 characters Windows can return");
      }
      ini_->servicePack = value;
    } else if (key == "codepage") {
      return ReadCodePage(name, value, &ini_->ansiCodePage);
    } else if (key == "oemcodepage") {
      return ReadCodePage(name, value, &ini_->oemCodePage);
    } else if (key == "versionquery") {
      const std::string v = AsciiLower(value);
      if (v != "ok" && v != "fail") return Fail("VersionQuery must be ok or fail");
      ini_->versionQueryFails = v == "fail";
    } else {
      return Fail("unknown name " + name +
                  " in [machine]: expected WindowsDirectory, SystemDirectory, Platform, Major, "
                  "Minor, Build, ServicePack, VersionQuery, VfwVersion, CodePage or OemCodePage");
    }
    return true;
  }

  bool ReadCaptureValue(const std::string& name, const std::string& value) {
    if (name.size() != 1 || name[0] < '0' || name[0] > '9') {
      return Fail("unknown name " + name + " in [capture]: capture drivers are numbered 0 to 9");
    }
    const size_t bar = value.find('|');
    if (bar == std::string::npos) return Fail("a capture driver is written name|version");
    ini_->capture[static_cast<size_t>(name[0] - '0')] =
        CaptureDriver{value.substr(0, bar), value.substr(bar + 1)};
    return true;
  }

  MachineIni* ini_;
  int line_ = 0;
  std::string section_;
  std::set<std::string> seen_;
  std::optional<ParseError> error_;
};

}  // namespace

std::optional<ParseError> ParseMachineIni(const std::string& text, MachineIni* ini) {
  return MachineIniReader(ini).Read(text);
}

}  // namespace korvane
