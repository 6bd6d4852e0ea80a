// Finding Wine and the Windows CLI for a view of a Wine prefix.
#include "platform/wine_tool.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string Canonical(const std::string& path) {
  std::error_code ignored;
  fs::path result = fs::weakly_canonical(fs::absolute(path, ignored), ignored);
  if (result.empty()) result = fs::absolute(path, ignored).lexically_normal();
  return result.string();
}

bool IsExecutableFile(const std::string& path) {
  std::error_code ignored;
  return fs::is_regular_file(path, ignored) && access(path.c_str(), X_OK) == 0;
}

bool IsFile(const std::string& path) {
  std::error_code ignored;
  return fs::is_regular_file(path, ignored);
}

std::optional<std::string> OnPath(const char* pathVariable, const std::string& name) {
  if (pathVariable == nullptr) return std::nullopt;
  const std::string paths = pathVariable;
  size_t start = 0;
  while (start <= paths.size()) {
    size_t end = paths.find(':', start);
    if (end == std::string::npos) end = paths.size();
    const std::string dir = end > start ? paths.substr(start, end - start) : ".";
    const std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<std::string> FindWine(const WineTryEnvironment& env, bool view64,
                                    std::string* error) {
  if (!view64) {
    if (env.wine32 != nullptr && env.wine32[0] != '\0') {
      if (IsExecutableFile(env.wine32)) return std::string(env.wine32);
      *error = std::string("--try: $KORVANE_WINE32 is ") + env.wine32 + ", which is not a program";
      return std::nullopt;
    }
    // scripts/setup-wine32.sh makes it in the build tree, beside the native build.
    const std::string built = env.programDir + "/../wine32/bin/wine";
    if (IsExecutableFile(built)) return Canonical(built);
    *error =
        "--try can't run the 32-bit view here: it needs a Wine that runs 32-bit programs, "
        "and none is named; set KORVANE_WINE32 to its wine program (scripts/setup-wine32.sh "
        "makes one in build/wine32), or try the 64-bit view of a 64-bit prefix with --view 64";
    return std::nullopt;
  }
  if (env.wine64 != nullptr && env.wine64[0] != '\0') {
    if (IsExecutableFile(env.wine64)) return std::string(env.wine64);
    *error = std::string("--try: $KORVANE_WINE64 is ") + env.wine64 + ", which is not a program";
    return std::nullopt;
  }
  if (auto wine = OnPath(env.path, "wine64")) return wine;
  if (IsExecutableFile("/usr/lib/wine/wine64")) return std::string("/usr/lib/wine/wine64");
  if (auto wine = OnPath(env.path, "wine")) return wine;
  *error =
      "--try needs Wine to run the prefix's decoders, and neither wine64 nor wine is "
      "installed; install Wine or set KORVANE_WINE64 to its wine64 program";
  return std::nullopt;
}

std::optional<std::string> FindCli(const WineTryEnvironment& env, bool view64, std::string* error) {
  const char* named = view64 ? env.cliWin64 : env.cliWin32;
  const char* variable = view64 ? "KORVANE_CLI_WIN64" : "KORVANE_CLI_WIN32";
  if (named != nullptr && named[0] != '\0') {
    if (IsFile(named)) return std::string(named);
    *error = std::string("--try: $") + variable + " is " + named + ", which is not a file";
    return std::nullopt;
  }
  const std::string name = view64 ? "korvane-cli-x86_64.exe" : "korvane-cli-i686.exe";
  const std::string beside = env.programDir + "/" + name;
  const std::string installed = env.programDir + "/" + KORVANE_WINDOWS_CLI_DIR + "/" + name;
  const std::string buildTree =
      env.programDir + (view64 ? "/../win64/korvane-cli.exe" : "/../win32/korvane-cli.exe");
  if (IsFile(beside)) return beside;
  if (IsFile(installed)) return Canonical(installed);
  if (IsFile(buildTree)) return Canonical(buildTree);
  *error = std::string("--try needs korvane-cli.exe built for the ") +
           (view64 ? "64-bit" : "32-bit") + " view to run under Wine; looked for " + beside + ", " +
           Canonical(installed) + " and " + Canonical(buildTree) + "; set " + variable + " to it";
  return std::nullopt;
}

}  // namespace

std::string WhyNo32BitSide(const std::string& prefix) {
  std::error_code ignored;
  const std::string syswow64 = prefix + "/drive_c/windows/syswow64";
  if (!fs::is_directory(syswow64, ignored) || IsFile(syswow64 + "/kernel32.dll")) {
    return std::string();
  }
  return "--try can't run the 32-bit view of " + prefix +
         ": it is a 64-bit prefix without its 32-bit side (its syswow64 holds no kernel32.dll, "
         "as when a Wine without its 32-bit half made it); try the 64-bit view with --view 64";
}

WineTryEnvironment CurrentWineTryEnvironment() {
  WineTryEnvironment env;
  env.wine64 = std::getenv("KORVANE_WINE64");
  env.wine32 = std::getenv("KORVANE_WINE32");
  env.cliWin64 = std::getenv("KORVANE_CLI_WIN64");
  env.cliWin32 = std::getenv("KORVANE_CLI_WIN32");
  env.path = std::getenv("PATH");
  std::error_code ignored;
  env.programDir = fs::read_symlink("/proc/self/exe", ignored).parent_path().string();
  return env;
}

std::optional<WineTool> FindWineTool(const WineTryEnvironment& environment, bool view64,
                                     std::string* error) {
  const auto wine = FindWine(environment, view64, error);
  if (!wine) return std::nullopt;
  const auto cli = FindCli(environment, view64, error);
  if (!cli) return std::nullopt;
  return WineTool{*wine, *cli};
}

}  // namespace korvane
