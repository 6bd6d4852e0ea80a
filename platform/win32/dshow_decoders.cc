// Why a DirectShow graph left out the decoders registered for the file's streams: each one
// the graph does not hold is made here, as the graph builder would make it, and those that
// cannot be made are named with their error. Wine's splitters give a stream the host's
// GStreamer does not know no pin at all, so its registered decoder is never made there.
#include <windows.h>
// The DirectShow headers need the Windows types first.
#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>
#include <vfw.h>

#include <string>
#include <vector>

#include "platform/decoder_trial.h"
#include "platform/win32/dshow_decoders.h"
#include "platform/win32/trial_stage.h"
#include "platform/win32/wide_text.h"

namespace korvane {
namespace {

// Each stream's first offers worth making, which bounds the time this takes.
constexpr size_t kOffersPerStream = 3;
constexpr LONG kMostStreams = 64;
constexpr DWORD kBitmapHeaderBytes = 40;
constexpr DWORD kWaveExtensibleBytes = 40;
constexpr WORD kWaveFormatPcm = 1;
constexpr WORD kWaveFormatExtensible = 0xFFFE;

struct MediaType {
  GUID major;
  GUID subtype;
};

// The subtype DirectShow forms from a FourCC or a format tag.
GUID SubtypeOf(DWORD code) {
  return GUID{code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

std::string GuidText(const GUID& guid) {
  wchar_t text[64] = L"";
  return StringFromGUID2(guid, text, 64) == 0 ? std::string() : Utf8(text);
}

std::vector<uint8_t> StreamFormat(PAVISTREAM stream) {
  LONG size = 0;
  if (AVIStreamReadFormat(stream, AVIStreamStart(stream), nullptr, &size) != 0 || size <= 0 ||
      size > 65536) {
    return {};
  }
  std::vector<uint8_t> format(static_cast<size_t>(size));
  if (AVIStreamReadFormat(stream, AVIStreamStart(stream), format.data(), &size) != 0) return {};
  format.resize(static_cast<size_t>(size));
  return format;
}

// The type a splitter gives a compressed stream; false for one that needs no decoder.
bool CompressedType(DWORD streamType, const std::vector<uint8_t>& format, MediaType* type) {
  if (streamType == streamtypeVIDEO && format.size() >= kBitmapHeaderBytes) {
    BITMAPINFOHEADER header;
    CopyMemory(&header, format.data(), sizeof(header));
    // BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS and the like are not FourCCs.
    if (header.biCompression < 0x100) return false;
    *type = {MEDIATYPE_Video, SubtypeOf(header.biCompression)};
    return true;
  }
  if (streamType == streamtypeAUDIO && format.size() >= sizeof(PCMWAVEFORMAT)) {
    WORD tag = 0;
    CopyMemory(&tag, format.data(), sizeof(tag));
    if (tag == kWaveFormatPcm) return false;
    *type = {MEDIATYPE_Audio, SubtypeOf(tag)};
    if (tag == kWaveFormatExtensible) {
      if (format.size() < kWaveExtensibleBytes) return false;
      CopyMemory(&type->subtype, format.data() + 24, sizeof(GUID));  // SubFormat
      if (type->subtype == SubtypeOf(kWaveFormatPcm)) return false;
    }
    return true;
  }
  return false;
}

// The media types of the file's compressed streams, from its headers through AVIFile.
std::vector<MediaType> CompressedStreamTypes(const std::string& path) {
  std::vector<MediaType> types;
  AVIFileInit();
  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, path.c_str(), OF_READ | OF_SHARE_DENY_NONE, nullptr) == 0) {
    PAVISTREAM stream = nullptr;
    for (LONG i = 0; i < kMostStreams && AVIFileGetStream(file, &stream, 0, i) == 0; ++i) {
      AVISTREAMINFOA info = {};
      MediaType type;
      if (AVIStreamInfoA(stream, &info, sizeof(info)) == 0 &&
          CompressedType(info.fccType, StreamFormat(stream), &type)) {
        types.push_back(type);
      }
      AVIStreamRelease(stream);
    }
    AVIFileRelease(file);
  }
  AVIFileExit();
  return types;
}

std::string Property(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::string text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR)
    text = Utf8(value.bstrVal);
  VariantClear(&value);
  return text;
}

// The decoders registered for exactly this type (no wildcards: those are renderers,
// converters and wrappers, not a decoder of this format), best merit first.
std::vector<DecoderOffer> OffersFor(IFilterMapper2* mapper, const MediaType& type) {
  std::vector<DecoderOffer> offers;
  const GUID pair[2] = {type.major, type.subtype};
  IEnumMoniker* monikers = nullptr;
  if (FAILED(mapper->EnumMatchingFilters(&monikers, 0, TRUE, MERIT_DO_NOT_USE + 1, TRUE, 1, pair,
                                         nullptr, nullptr, FALSE, TRUE, 0, nullptr, nullptr,
                                         nullptr)) ||
      monikers == nullptr) {
    return offers;
  }
  IMoniker* moniker = nullptr;
  while (offers.size() < kOffersPerStream && monikers->Next(1, &moniker, nullptr) == S_OK) {
    IPropertyBag* bag = nullptr;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                         reinterpret_cast<void**>(&bag)))) {
      DecoderOffer offer{Property(bag, L"CLSID"), Property(bag, L"FriendlyName")};
      if (!offer.clsid.empty()) offers.push_back(offer);
      bag->Release();
    }
    moniker->Release();
  }
  monikers->Release();
  return offers;
}

std::vector<std::string> ClsidsInGraph(IFilterGraph* graph) {
  std::vector<std::string> clsids;
  IEnumFilters* filters = nullptr;
  if (FAILED(graph->EnumFilters(&filters))) return clsids;
  IBaseFilter* filter = nullptr;
  while (filters->Next(1, &filter, nullptr) == S_OK) {
    CLSID clsid = {};
    if (SUCCEEDED(filter->GetClassID(&clsid))) clsids.push_back(GuidText(clsid));
    filter->Release();
  }
  filters->Release();
  return clsids;
}

// Makes the decoder as the graph builder does; its error when it cannot be made.
HRESULT Make(const DecoderOffer& offer) {
  std::wstring wide(offer.clsid.begin(), offer.clsid.end());
  CLSID clsid = {};
  HRESULT hr = CLSIDFromString(&wide[0], &clsid);
  if (FAILED(hr)) return hr;
  IBaseFilter* filter = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                        reinterpret_cast<void**>(&filter));
  if (SUCCEEDED(hr) && filter != nullptr) filter->Release();
  return hr;
}

}  // namespace

std::string UnmadeDecoders(IFilterGraph* graph, const std::string& path) {
  Stage("reading the file's stream formats through AVIFile");
  const std::vector<MediaType> types = CompressedStreamTypes(path);
  if (types.empty()) return std::string();
  Stage("asking the filter mapper for the streams' decoders (IFilterMapper2)");
  IFilterMapper2* mapper = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IFilterMapper2, reinterpret_cast<void**>(&mapper)))) {
    return std::string();
  }
  std::vector<std::vector<DecoderOffer>> offers;
  for (const MediaType& type : types) offers.push_back(OffersFor(mapper, type));
  mapper->Release();
  std::vector<UnmadeDecoder> unmade;
  for (const DecoderOffer& offer : DecodersToMake(offers, ClsidsInGraph(graph), kOffersPerStream)) {
    Stage("making the registered decoder " + offer.name + " (CoCreateInstance)");
    const HRESULT hr = Make(offer);
    if (FAILED(hr)) unmade.push_back({offer.name, hr});
  }
  return UnmadeDecodersText(unmade);
}

}  // namespace korvane
