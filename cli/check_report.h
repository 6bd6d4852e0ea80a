// korvane check's findings for a list of files, as lines or as one JSON document.
#pragma once

#include <string>
#include <vector>

#include "avi/riff_walk.h"
#include "cli/try_finding.h"
#include "diag/decoder_check.h"
#include "platform/system.h"

namespace korvane {

struct FileCheck {
  std::string path;
  std::string error;  // why the file could not be read; empty when it was
  AviWalk walk;
  std::vector<DecoderCheck> decoders;  // one per stream, in stream order
  std::vector<std::string> install;    // what the machine lacks, one phrase each
  // With --try: one finding per stream, in stream order; empty without it.
  std::vector<TryFinding> tries;
  bool playable = false;
  std::string verdict;
};

// Reads the file at path (a path of the host, not of the machine) and checks each of
// its streams against the machine's drivers.
FileCheck CheckAviFile(System& system, const InstalledDrivers& drivers, const std::string& path);

// Lets the tries decide where they tell more than the files: a stream that decodes needs
// nothing, one whose decoder is there but fails its try (does not decode, crashes, hangs)
// needs repair. The verdict, install list and playable follow.
void ApplyTries(FileCheck* file);

struct CheckedMachine {
  std::string label;    // what the user named: the --machine folder, or "this machine"
  std::string version;  // "Windows 4.10 build 2222 (Win9x)"
  InstalledDrivers drivers;
};
CheckedMachine ReadCheckedMachine(System& system, const std::string& label);

std::string CheckLines(const CheckedMachine& machine, const std::vector<FileCheck>& files);
std::string CheckJson(const CheckedMachine& machine, const std::vector<FileCheck>& files);

}  // namespace korvane
