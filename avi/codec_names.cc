// The dump's codec table: one entry a line, upper and lower case spelled out.
#include "avi/codec_names.h"

namespace korvane {
namespace {

struct CodecEntry {
  uint32_t fourcc;
  const char* name;
};

constexpr CodecEntry kCodecNames[] = {
    {MakeFourCC('I', 'V', '3', '1'), "Intel Indeo 3.x"},
    {MakeFourCC('i', 'v', '3', '1'), "Intel Indeo 3.x"},
    {MakeFourCC('I', 'V', '3', '2'), "Intel Indeo 3.x"},
    {MakeFourCC('i', 'v', '3', '2'), "Intel Indeo 3.x"},
    {MakeFourCC('I', 'V', '4', '1'), "Intel Indeo 4.1"},
    {MakeFourCC('i', 'v', '4', '1'), "Intel Indeo 4.1"},
    {MakeFourCC('I', 'V', '5', '0'), "Intel Indeo 5.0"},
    {MakeFourCC('i', 'v', '5', '0'), "Intel Indeo 5.0"},
    {MakeFourCC('C', 'V', 'I', 'D'), "Cinepak by Radius"},
    {MakeFourCC('c', 'v', 'i', 'd'), "Cinepak by Radius"},
    {MakeFourCC('M', 'J', 'P', 'G'), "MotionJPEG"},
    {MakeFourCC('m', 'j', 'p', 'g'), "MotionJPEG"},
    {MakeFourCC('D', 'M', 'B', '1'), "MotionJPEG"},
    {MakeFourCC('d', 'm', 'b', '1'), "MotionJPEG"},
    {MakeFourCC('M', 'P', '4', '1'), "MS MPEG4 V1"},
    {MakeFourCC('m', 'p', '4', '1'), "MS MPEG4 V1"},
    {MakeFourCC('M', 'P', '4', '2'), "MS MPEG4 V2"},
    {MakeFourCC('m', 'p', '4', '2'), "MS MPEG4 V2"},
    {MakeFourCC('M', 'P', '4', '3'), "MS MPEG4 V3"},
    {MakeFourCC('m', 'p', '4', '3'), "MS MPEG4 V3"},
    {MakeFourCC('D', 'I', 'V', '3'), "DivX ;-)"},
    {MakeFourCC('d', 'i', 'v', '3'), "DivX ;-)"},
    {MakeFourCC('D', 'I', 'V', '4'), "DivX ;-)"},
    {MakeFourCC('d', 'i', 'v', '4'), "DivX ;-)"},
    {MakeFourCC('A', 'S', 'V', '1'), "ASUS quick codec"},
    {MakeFourCC('a', 's', 'v', '1'), "ASUS quick codec"},
    {MakeFourCC('E', 'Q', 'K', '0'), "ELSA quick codec"},  // digit zero
    {MakeFourCC('e', 'q', 'k', '0'), "ELSA quick codec"},
    {MakeFourCC('V', 'D', 'O', 'M'), "VDOnet VDOwave"},  // letter O
    {MakeFourCC('v', 'd', 'o', 'm'), "VDOnet VDOwave"},
};

}  // namespace

const char* CodecName(uint32_t fourcc) {
  for (const CodecEntry& entry : kCodecNames) {
    if (entry.fourcc == fourcc) return entry.name;
  }
  return "unknown";
}

}  // namespace korvane
