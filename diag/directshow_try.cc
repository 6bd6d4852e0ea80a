// The DirectShow try of a file as the paths keep it and as the report writes its graph.
#include "diag/playback_paths.h"

namespace korvane {

DirectShowTry DirectShowTryOf(const GraphFinding& graph) {
  DirectShowTry tried;
  tried.finding = graph.finding;
  tried.frames = graph.frames;
  tried.branches = graph.branches;
  for (const std::vector<std::string>& branch : graph.branches) {
    for (const std::string& name : branch) {
      bool listed = false;
      for (const std::string& have : tried.filters) listed = listed || have == name;
      if (!listed) tried.filters.push_back(name);
    }
  }
  return tried;
}

std::string ChainText(const std::vector<std::vector<std::string>>& branches, const char* arrow) {
  std::string text;
  const std::vector<std::string>* previous = nullptr;
  for (const std::vector<std::string>& branch : branches) {
    // Where this branch leaves the one before it: the last filter they share, and never
    // its own renderer, though the renderers share a name.
    size_t from = 0;
    if (previous != nullptr) {
      while (from + 2 < branch.size() && from + 1 < previous->size() &&
             branch[from + 1] == (*previous)[from + 1] && branch[from] == (*previous)[from]) {
        ++from;
      }
    }
    if (!text.empty()) text += "; ";
    for (size_t i = from; i < branch.size(); ++i) text += (i > from ? arrow : "") + branch[i];
    previous = &branch;
  }
  return text;
}

}  // namespace korvane
