// Asks the host's GStreamer what korvane would ask it, one line per question, so that a
// test or the benchmark can run it in a process of its own with GStreamer's registry and
// plugin path set for that process:
//   gstreamer-ask VIEW [demuxer | video:FOURCC | audio:TAG]...
// prints "QUESTION<TAB>ANSWER<TAB>CAPS" per question, ANSWER being "element NAME", "raw",
// "missing TEXT" or "unknown" (the demuxer: its name, or nothing); GStreamer is opened
// only when there is a question. Exit status 1 when GStreamer cannot be asked, 2 on a
// malformed question.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/gstreamer.h"

namespace {

std::string Describe(const korvane::GstreamerStreamAnswer& answer) {
  if (!answer.known) return "unknown\t";
  if (answer.raw) return "raw\t" + answer.caps;
  if (answer.decodes) return "element " + answer.element + "\t" + answer.caps;
  return "missing " + answer.missing + "\t" + answer.caps;
}

// The FourCC as an AVI file stores it: its first character in the lowest byte.
bool ParseFourcc(const std::string& text, uint32_t* fourcc) {
  if (text.size() != 4) return false;
  *fourcc = 0;
  for (int i = 3; i >= 0; --i) *fourcc = (*fourcc << 8) | static_cast<unsigned char>(text[i]);
  return true;
}

bool ParseTag(const std::string& text, uint16_t* tag) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || value > 0xFFFF) return false;
  *tag = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: gstreamer-ask VIEW [demuxer | video:FOURCC | audio:TAG]...\n";
    return 2;
  }
  if (argc == 2) return 0;
  std::string whyNot;
  const auto host = korvane::OpenHostGstreamer(std::atoi(argv[1]), &whyNot);
  if (!host) {
    std::cerr << "gstreamer-ask: " << whyNot << "\n";
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    const std::string question = argv[i];
    uint32_t fourcc = 0;
    uint16_t tag = 0;
    if (question == "demuxer") {
      std::cout << question << "\t" << host->AviDemuxer() << "\n";
    } else if (question.compare(0, 6, "video:") == 0 && ParseFourcc(question.substr(6), &fourcc)) {
      std::cout << question << "\t" << Describe(host->AskVideo(fourcc)) << "\n";
    } else if (question.compare(0, 6, "audio:") == 0 && ParseTag(question.substr(6), &tag)) {
      std::cout << question << "\t" << Describe(host->AskAudio(tag)) << "\n";
    } else {
      std::cerr << "gstreamer-ask: not a question: " << question << "\n";
      return 2;
    }
  }
  return 0;
}
