// korvane codecs: every decoder a machine offers a player, in one list grouped by the way
// players reach it (Video for Windows, ACM, DirectShow filters, DMOs, Media Foundation
// transforms), as lines for people or as one JSON document.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "diag/playback_registrations.h"

namespace korvane {

// One decoder, filter or transform, whichever way it is registered.
struct CodecItem {
  std::string name;
  std::string clsid;              // empty for Video for Windows and ACM drivers
  std::optional<uint32_t> merit;  // DirectShow filters only
  std::string role;               // DirectShow filters only: FilterRoleName
  std::string library;            // as registered; empty when none is
  std::string path;               // the file the machine would load; empty when none
  LibraryFacts facts;             // facts.known false: nothing to ask (no library)
  std::vector<MediaTypeGuids> inputs;
  std::string where;
  std::vector<std::string> broken;
};

struct CodecList {
  CheckedMachine machine;
  std::vector<CodecItem> vfw;
  std::vector<CodecItem> acm;
  std::vector<CodecItem> directshow;  // decoders, and the sources and splitters that take AVI
  std::vector<CodecItem> dmo;
  std::vector<CodecItem> mediafoundation;
  bool hasMediaFoundation = false;
  bool mediaFoundationReadsAvi = false;
};

CodecList ListCodecs(System& system, const std::string& label);

// explain: after each library that is missing or does not load, the reason.
std::string CodecLines(const CodecList& list, bool explain);
std::string CodecJson(const CodecList& list);

}  // namespace korvane
