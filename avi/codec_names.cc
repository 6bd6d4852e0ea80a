// The dump's codec table: one entry a line, upper and lower case spelled out.
#include "avi/codec_names.h"

namespace korvane {
namespace {

struct CodecEntry {
  uint32_t fourcc;
  const char* name;
};

constexpr CodecEntry kCodecNames[] = {
    {FourCC("IV31"), "Intel Indeo 3.x"},   {FourCC("iv31"), "Intel Indeo 3.x"},
    {FourCC("IV32"), "Intel Indeo 3.x"},   {FourCC("iv32"), "Intel Indeo 3.x"},
    {FourCC("IV41"), "Intel Indeo 4.1"},   {FourCC("iv41"), "Intel Indeo 4.1"},
    {FourCC("IV50"), "Intel Indeo 5.0"},   {FourCC("iv50"), "Intel Indeo 5.0"},
    {FourCC("CVID"), "Cinepak by Radius"}, {FourCC("cvid"), "Cinepak by Radius"},
    {FourCC("MJPG"), "MotionJPEG"},        {FourCC("mjpg"), "MotionJPEG"},
    {FourCC("DMB1"), "MotionJPEG"},        {FourCC("dmb1"), "MotionJPEG"},
    {FourCC("MP41"), "MS MPEG4 V1"},       {FourCC("mp41"), "MS MPEG4 V1"},
    {FourCC("MP42"), "MS MPEG4 V2"},       {FourCC("mp42"), "MS MPEG4 V2"},
    {FourCC("MP43"), "MS MPEG4 V3"},       {FourCC("mp43"), "MS MPEG4 V3"},
    {FourCC("DIV3"), "DivX ;-)"},          {FourCC("div3"), "DivX ;-)"},
    {FourCC("DIV4"), "DivX ;-)"},          {FourCC("div4"), "DivX ;-)"},
    {FourCC("ASV1"), "ASUS quick codec"},  {FourCC("asv1"), "ASUS quick codec"},
    {FourCC("EQK0"), "ELSA quick codec"},                                       // digit zero
    {FourCC("eqk0"), "ELSA quick codec"},  {FourCC("VDOM"), "VDOnet VDOwave"},  // letter O
    {FourCC("vdom"), "VDOnet VDOwave"},
};

}  // namespace

const char* CodecName(uint32_t fourcc) {
  for (const CodecEntry& entry : kCodecNames) {
    if (entry.fourcc == fourcc) return entry.name;
  }
  return "unknown";
}

}  // namespace korvane
