// The machine a command examines: the options that choose it, declared once for every
// command that reads a machine, and the one way the chosen machine is opened.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>

#include "platform/offline/formats/saved_report.h"
#include "platform/offline/open_machine.h"
#include "platform/system.h"

namespace korvane {

struct MachineChoice {
  std::string machine;  // --machine PATH; empty when not given
  std::optional<WineView> view;
  std::string user;
  int partition = 0;
};

// The help of each option, in the words of the command that declares them.
struct MachineOptionHelp {
  const char* machine;
  const char* view;
  const char* user;
  const char* partition;
};

// Declares --machine, --view, --user and --partition on app, bound to *choice.
void AddMachineOptions(CLI::App* app, const std::shared_ptr<MachineChoice>& choice,
                       const MachineOptionHelp& help);

struct OpenedMachine {
  std::unique_ptr<System> system;    // null when the machine could not be opened
  OfflineSystem* offline = nullptr;  // the same machine, when it was read from disk
  std::string winePrefix;            // its folder, when the machine is a Wine prefix
  std::string error;                 // why it could not be opened
  bool usageMistake = false;         // the options asked for what cannot be (--view)
  // --machine named a report saved on a machine ("Save log as", korvane run -o) rather
  // than the machine: only korvane check answers from one. system stays null.
  std::optional<SavedReport> report;
};

// The machine at --machine (a Wine prefix seen through the view, a described machine, an
// installation, a disk image or a saved report), else the machine at hand. What was chosen on it
// (user, partition) is said on standard error after "command: ".
OpenedMachine OpenChosenMachine(const MachineChoice& choice, const std::string& command);

// Why the machine could not be opened, said on standard error after "command: ", as a usage
// error when an option asked for what cannot be. Returns kExitUsage.
int MachineNotOpened(const OpenedMachine& opened, const std::string& command);

}  // namespace korvane
