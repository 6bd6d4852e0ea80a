// Reads an AVI file, checks each of its streams against a machine's drivers, and gives the
// verdict, which a try of the machine's own decoders may then change.
#include "diag/file_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/read_stream.h"

namespace korvane {
namespace {

const char kPlayable[] = "playable here";

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

// Why the file cannot be read, or empty when it opened.
std::string OpenError(const std::string& path, std::FILE** file) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return "it is a folder";
  *file = OpenReadStream(path);
  if (*file == nullptr) return std::strerror(errno);
  return std::string();
}

// "ask the user for A and B", or empty.
std::string AskText(const std::vector<std::string>& askFor) {
  return askFor.empty() ? std::string() : "ask the user for " + Join(askFor, " and ");
}

// "A", "A and B", "A, B and C".
std::string JoinWithAnd(const std::vector<std::string>& items) {
  if (items.size() < 2) return Join(items, "");
  const std::vector<std::string> head(items.begin(), items.end() - 1);
  return Join(head, ", ") + " and " + items.back();
}

// What Video for Windows lacks for stream index, in a word or two ("vidc.MJPG"), or empty.
std::string VfwNeed(const FileCheck& check, size_t index) {
  const DecoderCheck& decoder = check.decoders[index];
  const bool tried = check.tries.size() == check.decoders.size();
  const TryOutcome outcome = tried ? check.tries[index].outcome : TryOutcome::kNotTried;
  if (outcome == TryOutcome::kDecodes) return std::string();
  if (!decoder.ready()) {
    return decoder.entryNames.empty()
               ? "a decoder for " + decoder.codecName + " (" + decoder.code + ")"
               : decoder.entryNames.front();
  }
  return outcome == TryOutcome::kNotTried ? std::string()
                                          : "a working " + decoder.registration.name;
}

std::vector<std::string> VfwNeeds(const FileCheck& check) {
  std::vector<std::string> needs;
  for (size_t i = 0; i < check.decoders.size(); ++i) {
    const std::string need = VfwNeed(check, i);
    if (!need.empty()) needs.push_back(need);
  }
  return needs;
}

// Once Video for Windows has had its say, the verdict names every way the file plays and
// what each other way lacks. The file counts as playable when any way plays it: most people
// play AVI files in DirectShow players, and the ways that do not play are named.
void NamePaths(FileCheck* check) {
  FilePaths& paths = check->paths;
  paths.vfwPlayable = check->playable;
  std::vector<std::string> plays, needs;
  if (paths.vfwPlayable) {
    plays.push_back("Video for Windows programs");
  } else {
    const std::vector<std::string> vfwNeeds = VfwNeeds(*check);
    needs.push_back("Video for Windows programs need " +
                    (vfwNeeds.empty() ? Join(check->install, "; ") : Join(vfwNeeds, ", ")));
  }
  const std::string directshow =
      "DirectShow players" + (paths.splitter.empty() ? "" : " (" + paths.splitter + ")");
  if (paths.directshowPlayable) {
    plays.push_back(directshow);
  } else {
    needs.push_back(directshow + " need " + Join(paths.directshowNeeds, ", "));
  }
  if (paths.hasMediaFoundation && paths.mediaFoundationPlayable) {
    plays.push_back("Media Foundation players");
  }
  check->playable = !plays.empty();
  if (plays.empty()) {
    // What to install for Video for Windows stays as it was, the DirectShow needs after it.
    check->verdict += "; " + needs.back();
  } else if (needs.empty()) {
    check->verdict = std::string(kPlayable) + " in " + JoinWithAnd(plays);
  } else {
    check->verdict = "plays in " + JoinWithAnd(plays) + "; " + Join(needs, "; ");
  }
}

// The verdict from what the file holds, check->install and check->askFor, and the other
// ways to play it where they were worked out.
void SetVerdict(FileCheck* check) {
  const AviWalk& walk = check->walk;
  check->playable = false;
  check->playableKnown = true;
  if (!walk.isAvi) {
    check->verdict = "not an AVI file: " + (walk.problems.empty() ? "" : walk.problems.front());
  } else if (walk.streams.empty()) {
    check->verdict = "can't tell: the file describes no streams";
  } else if (!check->install.empty()) {
    check->verdict = Join(check->install, "; ");
    if (!check->askFor.empty()) check->verdict += "; " + AskText(check->askFor);
    if (check->paths.known && check->askFor.empty()) NamePaths(check);
  } else if (!walk.holdsFrames()) {
    check->verdict = "the decoders are here, but the file holds no frames";
  } else if (!check->askFor.empty()) {
    check->playableKnown = false;
    check->verdict = "can't tell from the report whether it plays: " + AskText(check->askFor);
  } else {
    check->playable = true;
    check->verdict = kPlayable;
    if (check->paths.known) NamePaths(check);
  }
}

void AddUnique(std::vector<std::string>* items, const std::string& item) {
  for (const std::string& have : *items) {
    if (have == item) return;
  }
  items->push_back(item);
}

void DecideVerdict(const AviStream* streams, FileCheck* check) {
  for (size_t i = 0; i < check->decoders.size(); ++i) {
    const DecoderCheck& decoder = check->decoders[i];
    if (!decoder.known()) {
      AddUnique(&check->askFor, decoder.unknown.ask);
    } else if (!decoder.ready()) {
      check->install.push_back(InstallAdvice(decoder, streams[i]));
    }
  }
  SetVerdict(check);
}

// What to do about a decoder that is there and loads but failed its try.
std::string TryAdvice(const DecoderCheck& decoder, const TryFinding& finding) {
  const std::string what = "the decoder for " + decoder.codecName + " (" + decoder.code + ")";
  const std::string where = decoder.libraryPath.empty() ? "" : ", " + decoder.libraryPath;
  // The finding's text after its first word: "crashed: exception ..." gives "exception ...".
  const size_t colon = finding.text.find(": ");
  const std::string detail =
      colon == std::string::npos ? finding.text : finding.text.substr(colon + 2);
  switch (finding.outcome) {
    case TryOutcome::kCrashed:
      return "repair or replace " + what + where + ": its try crashed (" + detail + ")";
    case TryOutcome::kHung:
      return "repair or replace " + what + where + ": its try hung (" + detail + ")";
    default:
      return "repair " + what + where + ": it loads but " + finding.text;
  }
}

// The DirectShow try, where it ran, decides whether DirectShow players play the file, and
// the verdict names that path when it differs from Video for Windows or fails.
void ApplyDirectShowTry(FileCheck* file) {
  if (!file->paths.directshowTry) return;
  const TryFinding& finding = file->paths.directshowTry->finding;
  if (finding.outcome == TryOutcome::kNotTried) return;
  const bool decodes = finding.outcome == TryOutcome::kDecodes;
  file->paths.directshowPlayable = decodes;
  if (file->paths.known) {
    // The try tells more than the registrations did: the named paths follow it, so a graph
    // that fails is not called playable, and one that decodes needs nothing more.
    file->paths.directshowNeeds.clear();
    if (!decodes) {
      file->paths.directshowNeeds.push_back("a graph that works: their try " + finding.text);
    }
    SetVerdict(file);
    return;
  }
  if (decodes && !file->playable) {
    file->verdict =
        "plays in DirectShow players (their try decodes it); Video for Windows "
        "programs: " +
        file->verdict;
  } else if (!decodes) {
    file->verdict += "; not in DirectShow players: their try " + finding.text;
  }
}

}  // namespace

FileCheck CheckAviFile(System& system, const InstalledDrivers& drivers, const std::string& path) {
  return CheckAviFile(
      [&system](const std::string& library) { return ProbeLibraryFacts(system, library); }, drivers,
      path);
}

FileCheck CheckAviFile(const LibraryLookup& libraries, const InstalledDrivers& drivers,
                       const std::string& path) {
  FileCheck check;
  check.path = path;
  std::FILE* file = nullptr;
  check.error = OpenError(path, &file);
  if (!check.error.empty()) return check;
  FileByteSource source(file);
  check.walk = WalkAvi(source);
  std::fclose(file);
  for (const AviStream& stream : check.walk.streams) {
    check.decoders.push_back(CheckStreamDecoder(libraries, drivers, stream));
  }
  DecideVerdict(check.walk.streams.data(), &check);
  return check;
}

void SetPlaybackPaths(const PlaybackRegistrations& registrations, GstreamerOnDemand* gstreamer,
                      FileCheck* file) {
  const bool registered = !registrations.filters.empty() || !registrations.dmos.empty() ||
                          registrations.hasMediaFoundation;
  if (!file->error.empty() || !registered) return;
  file->paths = WorkOutPaths(registrations, file->walk, file->decoders, gstreamer);
  SetVerdict(file);
}

void ApplyTries(FileCheck* file) {
  if (!file->error.empty() || file->tries.size() != file->walk.streams.size()) return;
  file->install.clear();
  for (size_t i = 0; i < file->decoders.size() && i < file->tries.size(); ++i) {
    const DecoderCheck& decoder = file->decoders[i];
    const TryFinding& finding = file->tries[i];
    if (finding.outcome == TryOutcome::kDecodes) continue;  // it decodes, whatever the files say
    if (!decoder.ready()) {
      file->install.push_back(InstallAdvice(decoder, file->walk.streams[i]));
    } else if (finding.outcome != TryOutcome::kNotTried) {
      file->install.push_back(TryAdvice(decoder, finding));
    }
  }
  SetVerdict(file);
  ApplyDirectShowTry(file);
}

}  // namespace korvane
