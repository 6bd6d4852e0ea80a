// korvane check --try: the streams of checked files tried on the machine's own decoders,
// each in a child process under a time limit. On Windows the children are this program
// in its one-stream mode; elsewhere one run of the Windows CLI inside the Wine prefix
// starts them and hands back every finding. Children are started through a ChildRunner,
// RunChild in the program and a stand-in in tests.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "diag/file_check.h"
#include "platform/subprocess.h"

namespace korvane {

constexpr int kDefaultTryTimeoutMs = 5000;

using ChildRunner = std::function<ChildResult(const ChildProcess&)>;

// On Windows: fills file->tries, each stream StreamsToTry names decoded by a child
// "program check --try-stream N FILE", the others told why not; and, when any stream is
// tried, file->paths.directshowTry from a child "program check --try-graph R FILE" that
// builds and runs the file's DirectShow graph with R renderers, given 10 s more than
// timeoutMs to start DirectShow and what its filters load.
void TryFileInChildren(const ChildRunner& run, const std::string& program, int timeoutMs,
                       FileCheck* file);

// Away from Windows: the Wine of the view, the Windows CLI it runs and the prefix it runs in.
struct WineTrial {
  std::string wine;
  std::string cliExe;
  std::string prefix;                  // the prefix's folder, as it was named
  std::map<char, std::string> drives;  // its drive letters and their host folders
  int timeoutMs = kDefaultTryTimeoutMs;
};

// The renderers a DirectShow graph for the file needs: one for each audio and video stream.
size_t GraphRenderers(const FileCheck& file);

// Fills files[i].tries (and paths.directshowTry) for every file that was read, from one run of
// "wine korvane-cli.exe check --try-findings" over the files on the prefix's drives.
void TryFilesUnderWine(const ChildRunner& run, const WineTrial& trial,
                       std::vector<FileCheck>* files);

// The Windows path of a host file on the prefix's drives (letters to host folders, as
// ReadDosDevices gives them): the drive whose folder holds it most closely, so a file in
// drive_c is on C: rather than on Z:, which is /. nullopt when no drive holds it.
std::optional<std::string> WindowsPathOnDrives(const std::map<char, std::string>& drives,
                                               const std::string& hostPath);

}  // namespace korvane
