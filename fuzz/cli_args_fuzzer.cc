// Any command-line arguments for the subcommands, run in-process in a scratch folder.
//
// The first byte picks the subcommand, the rest splits at zero bytes into its arguments.
// A '/' in an argument becomes '_', and every argument that is not an option, the one
// after -o and the value joined to it (-oFILE), is put in the scratch folder, so that every file
// named or written is one of its own: an AVI head, an empty file, a folder, a pipe nobody writes
// to, a small machine and a small Wine prefix, which is also the default machine. (The working
// folder stays where it is: libFuzzer's corpus and crash paths may be relative to it.)
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "report/report.h"

namespace {

const char* const kSubcommands[] = {"dump", "run", "check", "codecs"};
constexpr size_t kSubcommandCount = sizeof kSubcommands / sizeof kSubcommands[0];
constexpr size_t kMaxArguments = 16;

std::string g_scratch;  // absolute, made once

std::string AviHead() {
  std::string head(200, '\0');
  head.replace(0, 12, std::string("RIFF\xC0\0\0\0AVI ", 12));
  head.replace(188, 4, "cvid");
  return head;
}

void WriteFile(const char* name, const std::string& bytes) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void RemoveAll(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return;
  while (const dirent* entry = readdir(d)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = dir + "/" + name;
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      RemoveAll(path);
      rmdir(path.c_str());
    } else {
      unlink(path.c_str());
    }
  }
  closedir(d);
}

// The scratch folder as every input finds it, whatever the last one wrote there.
void ResetScratch() {
  RemoveAll(g_scratch);
  WriteFile((g_scratch + "/a.avi").c_str(), AviHead());
  WriteFile((g_scratch + "/e").c_str(), "");
  mkdir((g_scratch + "/d").c_str(), 0700);
  mkfifo((g_scratch + "/p").c_str(), 0600);
  // A described machine: drive C: with system.ini and one driver, a registry, its facts.
  for (const char* folder : {"/m", "/m/c", "/m/c/WINDOWS", "/m/c/WINDOWS/SYSTEM"}) {
    mkdir((g_scratch + folder).c_str(), 0700);
  }
  WriteFile((g_scratch + "/m/c/WINDOWS/system.ini").c_str(),
            "[boot.description]\r\ndisplay.drv=VGA\r\n[drivers32]\r\nvidc.cvid=iccvid.dll\r\n"
            "msacm.x=C:\\WINDOWS\\SYSTEM\\p\r\n");
  WriteFile((g_scratch + "/m/c/WINDOWS/SYSTEM/iccvid.dll").c_str(), "MZ");
  mkfifo((g_scratch + "/m/c/WINDOWS/SYSTEM/p").c_str(), 0600);
  WriteFile((g_scratch + "/m/registry.reg").c_str(),
            "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\AVIFile]\r\n@=\"AVI\"\r\n"
            "\"EditFlags\"=hex:00,00,01,00\r\n");
  WriteFile((g_scratch + "/m/machine.ini").c_str(), "[machine]\r\nPlatform=1\r\n");
  // A 64-bit Wine prefix, which is also the default machine ($HOME is the scratch folder).
  for (const char* folder : {"/.wine", "/.wine/dosdevices", "/.wine/drive_c",
                             "/.wine/drive_c/windows", "/.wine/drive_c/windows/system32"}) {
    mkdir((g_scratch + folder).c_str(), 0700);
  }
  if (symlink("../drive_c", (g_scratch + "/.wine/dosdevices/c:").c_str()) != 0) std::abort();
  WriteFile(
      (g_scratch + "/.wine/system.reg").c_str(),
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
      "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Drivers32] 1\n"
      "\"vidc.cvid\"=\"iccvid.dll\"\n");
  WriteFile((g_scratch + "/.wine/drive_c/windows/system32/iccvid.dll").c_str(), "MZ");
}

std::vector<std::string> Arguments(const uint8_t* data, size_t size) {
  std::vector<std::string> words(1);
  for (size_t i = 0; i < size && words.size() <= kMaxArguments; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\0') {
      words.emplace_back();
    } else {
      words.back() += c == '/' ? '_' : c;
    }
  }
  if (words.size() > kMaxArguments) words.resize(kMaxArguments);
  for (size_t i = 0; i < words.size(); ++i) {
    const bool option = !words[i].empty() && words[i][0] == '-';
    if (!option || (i > 0 && words[i - 1] == "-o")) {
      words[i] = g_scratch + "/" + words[i];
    } else if (words[i].size() > 2 && words[i].compare(0, 2, "-o") == 0) {
      words[i] = "-o" + g_scratch + "/" + words[i].substr(2);  // the value joined on: -oFILE
    }
  }
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // In memory where the host has such a folder: the folder is rebuilt for every input.
  std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  dir += "/korvane-fuzz-cli-XXXXXX";
  if (mkdtemp(&dir[0]) == nullptr) std::abort();
  g_scratch = dir;
  // The default machine of run and check is then the scratch folder's own prefix.
  unsetenv("WINEPREFIX");
  setenv("HOME", g_scratch.c_str(), 1);
  // check --try must start no Wine from here: with these it finds none and says so.
  setenv("KORVANE_WINE64", "/nonexistent/wine64", 1);
  setenv("KORVANE_WINE32", "/nonexistent/wine", 1);
  std::atexit([] {
    RemoveAll(g_scratch);
    rmdir(g_scratch.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ResetScratch();
  const std::vector<std::string> words = Arguments(data + 1, size - 1);
  std::vector<const char*> argv = {"korvane", kSubcommands[data[0] % kSubcommandCount]};
  for (const std::string& word : words) argv.push_back(word.c_str());
  argv.push_back(nullptr);

  // The command's own output is not what is checked; the fuzzer's messages keep stderr.
  std::FILE* const realOut = stdout;
  std::FILE* const realErr = stderr;
  stdout = std::fopen("/dev/null", "w");
  stderr = std::fopen("/dev/null", "w");
  const int status = korvane::KorvaneMain(static_cast<int>(argv.size() - 1), argv.data());
  std::fclose(stdout);
  std::fclose(stderr);
  stdout = realOut;
  stderr = realErr;

  if (status != korvane::kExitOk && status != korvane::kExitFindings &&
      status != korvane::kExitUsage) {
    std::abort();
  }
  if (korvane::MainWindow() != nullptr) std::abort();  // left pointing at a dead window
  return 0;
}
