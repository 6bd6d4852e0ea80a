// What a trial finds and the names of the Windows codes it meets. Portable code only.
#include "platform/decoder_trial.h"

#include "platform/ascii.h"
#include "platform/format.h"

namespace korvane {
namespace {

struct NamedCode {
  long code;
  const char* name;
};

// Video for Windows decompressor results (vfw.h).
const NamedCode kIcErrors[] = {
    {0, "ICERR_OK"},           {1, "ICERR_DONTDRAW"},       {2, "ICERR_NEWPALETTE"},
    {3, "ICERR_GOTOKEYFRAME"}, {4, "ICERR_STOPDRAWING"},    {-1, "ICERR_UNSUPPORTED"},
    {-2, "ICERR_BADFORMAT"},   {-3, "ICERR_MEMORY"},        {-4, "ICERR_INTERNAL"},
    {-5, "ICERR_BADFLAGS"},    {-6, "ICERR_BADPARAM"},      {-7, "ICERR_BADSIZE"},
    {-8, "ICERR_BADHANDLE"},   {-9, "ICERR_CANTUPDATE"},    {-10, "ICERR_ABORT"},
    {-100, "ICERR_ERROR"},     {-200, "ICERR_BADBITDEPTH"}, {-201, "ICERR_BADIMAGESIZE"},
};

// Multimedia system and Audio Compression Manager results (mmsystem.h, msacm.h).
const NamedCode kMmResults[] = {
    {0, "MMSYSERR_NOERROR"},      {1, "MMSYSERR_ERROR"},         {2, "MMSYSERR_BADDEVICEID"},
    {3, "MMSYSERR_NOTENABLED"},   {4, "MMSYSERR_ALLOCATED"},     {5, "MMSYSERR_INVALHANDLE"},
    {6, "MMSYSERR_NODRIVER"},     {7, "MMSYSERR_NOMEM"},         {8, "MMSYSERR_NOTSUPPORTED"},
    {9, "MMSYSERR_BADERRNUM"},    {10, "MMSYSERR_INVALFLAG"},    {11, "MMSYSERR_INVALPARAM"},
    {12, "MMSYSERR_HANDLEBUSY"},  {13, "MMSYSERR_INVALIDALIAS"}, {14, "MMSYSERR_BADDB"},
    {15, "MMSYSERR_KEYNOTFOUND"}, {16, "MMSYSERR_READERROR"},    {17, "MMSYSERR_WRITEERROR"},
    {18, "MMSYSERR_DELETEERROR"}, {19, "MMSYSERR_VALNOTFOUND"},  {20, "MMSYSERR_NODRIVERCB"},
    {21, "MMSYSERR_MOREDATA"},    {512, "ACMERR_NOTPOSSIBLE"},   {513, "ACMERR_BUSY"},
    {514, "ACMERR_UNPREPARED"},   {515, "ACMERR_CANCELED"},
};

// AVIFile results: MAKE_AVIERR(n) is 0x80044000 + n (vfw.h).
const NamedCode kAviErrors[] = {
    {101, "AVIERR_UNSUPPORTED"},    {102, "AVIERR_BADFORMAT"},    {103, "AVIERR_MEMORY"},
    {104, "AVIERR_INTERNAL"},       {105, "AVIERR_BADFLAGS"},     {106, "AVIERR_BADPARAM"},
    {107, "AVIERR_BADSIZE"},        {108, "AVIERR_BADHANDLE"},    {109, "AVIERR_FILEREAD"},
    {110, "AVIERR_FILEWRITE"},      {111, "AVIERR_FILEOPEN"},     {112, "AVIERR_COMPRESSOR"},
    {113, "AVIERR_NOCOMPRESSOR"},   {114, "AVIERR_READONLY"},     {115, "AVIERR_NODATA"},
    {116, "AVIERR_BUFFERTOOSMALL"}, {117, "AVIERR_CANTCOMPRESS"}, {198, "AVIERR_USERABORT"},
    {199, "AVIERR_ERROR"},
};

// DirectShow (vfwmsgs.h) and COM (winerror.h) results a graph meets.
const NamedCode kHresults[] = {
    {0x00000000L, "S_OK"},
    {0x00000001L, "S_FALSE"},
    {0x00040242L, "VFW_S_PARTIAL_RENDER"},
    {0x00040257L, "VFW_S_VIDEO_NOT_RENDERED"},
    {0x00040258L, "VFW_S_AUDIO_NOT_RENDERED"},
    {static_cast<long>(0x80040200u), "VFW_E_INVALIDMEDIATYPE"},
    {static_cast<long>(0x80040201u), "VFW_E_INVALIDSUBTYPE"},
    {static_cast<long>(0x80040205u), "VFW_E_FILTER_ACTIVE"},
    {static_cast<long>(0x80040206u), "VFW_E_NO_TYPES"},
    {static_cast<long>(0x80040207u), "VFW_E_NO_ACCEPTABLE_TYPES"},
    {static_cast<long>(0x80040209u), "VFW_E_NOT_CONNECTED"},
    {static_cast<long>(0x8004020Au), "VFW_E_NO_ALLOCATOR"},
    {static_cast<long>(0x8004020Bu), "VFW_E_RUNTIME_ERROR"},
    {static_cast<long>(0x80040211u), "VFW_E_NOT_COMMITTED"},
    {static_cast<long>(0x80040216u), "VFW_E_NOT_FOUND"},
    {static_cast<long>(0x80040217u), "VFW_E_CANNOT_CONNECT"},
    {static_cast<long>(0x80040218u), "VFW_E_CANNOT_RENDER"},
    {static_cast<long>(0x80040227u), "VFW_E_WRONG_STATE"},
    {static_cast<long>(0x8004022Au), "VFW_E_TYPE_NOT_ACCEPTED"},
    {static_cast<long>(0x8004022Bu), "VFW_E_SAMPLE_REJECTED"},
    {static_cast<long>(0x8004022Eu), "VFW_E_TIMEOUT"},
    {static_cast<long>(0x8004022Fu), "VFW_E_INVALID_FILE_FORMAT"},
    {static_cast<long>(0x80040231u), "VFW_E_CIRCULAR_GRAPH"},
    {static_cast<long>(0x80040240u), "VFW_E_UNKNOWN_FILE_TYPE"},
    {static_cast<long>(0x80040241u), "VFW_E_CANNOT_LOAD_SOURCE_FILTER"},
    {static_cast<long>(0x80040243u), "VFW_E_FILE_TOO_SHORT"},
    {static_cast<long>(0x80040255u), "VFW_E_NO_DECOMPRESSOR"},
    {static_cast<long>(0x80040256u), "VFW_E_NO_AUDIO_HARDWARE"},
    {static_cast<long>(0x8004025Cu), "VFW_E_UNSUPPORTED_AUDIO"},
    {static_cast<long>(0x8004025Du), "VFW_E_UNSUPPORTED_VIDEO"},
    {static_cast<long>(0x80040264u), "VFW_E_BUFFER_UNDERFLOW"},
    {static_cast<long>(0x80040265u), "VFW_E_UNSUPPORTED_STREAM"},
    {static_cast<long>(0x80040111u), "CLASS_E_CLASSNOTAVAILABLE"},
    {static_cast<long>(0x80040154u), "REGDB_E_CLASSNOTREG"},
    {static_cast<long>(0x800401F0u), "CO_E_NOTINITIALIZED"},
    {static_cast<long>(0x800401F8u), "CO_E_DLLNOTFOUND"},
    {static_cast<long>(0x800401F9u), "CO_E_ERRORINDLL"},
    {static_cast<long>(0x80004001u), "E_NOTIMPL"},
    {static_cast<long>(0x80004002u), "E_NOINTERFACE"},
    {static_cast<long>(0x80004003u), "E_POINTER"},
    {static_cast<long>(0x80004005u), "E_FAIL"},
    {static_cast<long>(0x8000FFFFu), "E_UNEXPECTED"},
    {static_cast<long>(0x80070002u), "HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)"},
    {static_cast<long>(0x80070005u), "E_ACCESSDENIED"},
    {static_cast<long>(0x8007000Eu), "E_OUTOFMEMORY"},
    {static_cast<long>(0x80070057u), "E_INVALIDARG"},
    {static_cast<long>(0x8007007Eu), "HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)"},
    {static_cast<long>(0x800700C1u), "HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT)"},
};

struct NamedException {
  uint32_t code;
  const char* name;
};

const NamedException kExceptions[] = {
    {0x80000002u, "datatype misalignment"},
    {0x80000003u, "breakpoint"},
    {0xC0000005u, "access violation"},
    {0xC0000006u, "in-page error"},
    {0xC000001Du, "illegal instruction"},
    {0xC000008Cu, "array bounds exceeded"},
    {0xC000008Eu, "floating-point division by zero"},
    {0xC0000090u, "invalid floating-point operation"},
    {0xC0000094u, "integer division by zero"},
    {0xC0000095u, "integer overflow"},
    {0xC0000096u, "privileged instruction"},
    {0xC00000FDu, "stack overflow"},
    {0xC0000374u, "heap corruption"},
    {0xC0000409u, "stack buffer overrun"},
    {0xE06D7363u, "C++ exception"},
};

template <size_t N>
const char* Lookup(const NamedCode (&table)[N], long code) {
  for (const NamedCode& entry : table) {
    if (entry.code == code) return entry.name;
  }
  return nullptr;
}

}  // namespace

const char* TryOutcomeName(TryOutcome outcome) {
  switch (outcome) {
    case TryOutcome::kDecodes:
      return "decodes";
    case TryOutcome::kDoesNotDecode:
      return "does not decode";
    case TryOutcome::kCrashed:
      return "crashed";
    case TryOutcome::kHung:
      return "hung";
    case TryOutcome::kNotTried:
      return "not tried";
  }
  return "not tried";
}

std::optional<TryOutcome> TryOutcomeFromName(const std::string& name) {
  for (TryOutcome outcome : {TryOutcome::kDecodes, TryOutcome::kDoesNotDecode, TryOutcome::kCrashed,
                             TryOutcome::kHung, TryOutcome::kNotTried}) {
    if (name == TryOutcomeName(outcome)) return outcome;
  }
  return std::nullopt;
}

std::string ExceptionName(uint32_t code) {
  for (const NamedException& entry : kExceptions) {
    if (entry.code == code) return entry.name;
  }
  return std::string();
}

std::string CrashText(uint32_t code, const std::string& module) {
  std::string text = Format("crashed: exception 0x%08X", code);
  const std::string name = ExceptionName(code);
  if (!name.empty()) text += " (" + name + ")";
  text += module.empty() ? " in an unknown module" : " in " + module;
  return text;
}

std::string IcErrorName(long code) {
  if (const char* name = Lookup(kIcErrors, code)) return name;
  return Format("error %ld", code);
}

std::string MmResultName(unsigned code) {
  if (const char* name = Lookup(kMmResults, static_cast<long>(code))) return name;
  return Format("error %u", code);
}

std::string HresultName(long code) {
  // Compared as 32 bits, whatever the width of long.
  const uint32_t hr = static_cast<uint32_t>(code);
  for (const NamedCode& entry : kHresults) {
    if (static_cast<uint32_t>(entry.code) == hr) return entry.name;
  }
  return Format("0x%08X", hr);
}

std::string AviErrorName(long code) {
  const uint32_t hr = static_cast<uint32_t>(code);
  if (hr >= 0x80044000u && hr < 0x80044100u) {
    if (const char* name = Lookup(kAviErrors, static_cast<long>(hr - 0x80044000u))) return name;
  }
  if (hr == 0x80040154u) return "REGDB_E_CLASSNOTREG";
  if (hr == 0x80004005u) return "E_FAIL";
  if (hr == 0x8007000Eu) return "E_OUTOFMEMORY";
  return Format("error 0x%08X", hr);
}

namespace {

bool ListedIgnoringCase(const std::vector<std::string>& list, const std::string& clsid) {
  for (const std::string& have : list) {
    if (EqualsIgnoringCase(have, clsid)) return true;
  }
  return false;
}

}  // namespace

std::vector<DecoderOffer> DecodersToMake(const std::vector<std::vector<DecoderOffer>>& offers,
                                         const std::vector<std::string>& clsidsInGraph,
                                         size_t perStream) {
  std::vector<DecoderOffer> chosen;
  std::vector<std::string> seen = clsidsInGraph;
  for (const std::vector<DecoderOffer>& stream : offers) {
    for (size_t i = 0; i < stream.size() && i < perStream; ++i) {
      if (ListedIgnoringCase(seen, stream[i].clsid)) continue;
      seen.push_back(stream[i].clsid);
      chosen.push_back(stream[i]);
    }
  }
  return chosen;
}

std::string UnmadeDecodersText(const std::vector<UnmadeDecoder>& unmade) {
  std::string text;
  for (const UnmadeDecoder& decoder : unmade) {
    text += "; " + decoder.name + " cannot be made: " + HresultName(decoder.hr);
  }
  return text;
}

}  // namespace korvane
