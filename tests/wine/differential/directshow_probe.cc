// What DirectShow itself enumerates on the machine it runs on, for the playback differential
// (directshow-differential.sh) to hold korvane codecs against. One tab-separated line per
// item, in UTF-8, written to the file named on the command line:
//   filter  {CLSID}  MERIT  NAME  HEX     each filter of the legacy filter category, through
//                                         ICreateDevEnum, with its FilterData in hex; MERIT
//                                         from it, or "none" where it has none
//   match   {MAJOR}  {SUBTYPE}  {CLSID}  NAME
//                                         what IFilterMapper2::EnumMatchingFilters offers a
//                                         graph for an input of that type, best merit first
//   dmo     video|audio  {CLSID}  NAME  {MAJOR}/{SUBTYPE},...
//                                         each decoder DMO of DMOEnum with its input types
//   error   TEXT                          a call that failed
// GUIDs are upper case with braces.
#include <windows.h>
// The COM and DirectShow headers need the Windows types first.
#include <dmoreg.h>
#include <ole2.h>
#include <strmif.h>
#include <uuids.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
  if (text == nullptr) return std::string();
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
  out.resize(static_cast<size_t>(bytes - 1));
  return out;
}

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof(text), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

// Tabs and line ends in a name would split its line; none is expected, so say so if seen.
std::string Field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string ErrorLine(const char* call, HRESULT result) {
  char text[120];
  std::snprintf(text, sizeof(text), "error\t%s failed with 0x%08lX", call,
                static_cast<unsigned long>(result));
  return text;
}

std::string ReadText(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::string text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR)
    text = Utf8(value.bstrVal);
  VariantClear(&value);
  return text;
}

// A FilterData value's bytes, empty where it has none.
std::vector<unsigned char> ReadFilterData(IPropertyBag* bag) {
  VARIANT value;
  VariantInit(&value);
  std::vector<unsigned char> bytes;
  if (SUCCEEDED(bag->Read(L"FilterData", &value, nullptr)) && value.vt == (VT_ARRAY | VT_UI1) &&
      value.parray != nullptr) {
    void* data = nullptr;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(value.parray, 1, &low);
    SafeArrayGetUBound(value.parray, 1, &high);
    if (high >= low && SUCCEEDED(SafeArrayAccessData(value.parray, &data))) {
      const unsigned char* first = static_cast<const unsigned char*>(data);
      bytes.assign(first, first + (high - low + 1));
      SafeArrayUnaccessData(value.parray);
    }
  }
  VariantClear(&value);
  return bytes;
}

// The merit: the second DWORD, after the version, in versions 1 and 2.
std::string MeritText(const std::vector<unsigned char>& data) {
  if (data.size() < 8) return "none";
  DWORD merit = 0;
  CopyMemory(&merit, data.data() + 4, sizeof(merit));
  return std::to_string(merit);
}

std::string HexText(const std::vector<unsigned char>& data) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char byte : data) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

struct MonikerNames {
  std::string clsid;
  std::string name;
  std::string merit;
  std::string filterData;  // in hex
};

MonikerNames ReadMoniker(IMoniker* moniker) {
  MonikerNames names;
  IPropertyBag* bag = nullptr;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                    reinterpret_cast<void**>(&bag))))
    return names;
  names.clsid = ReadText(bag, L"CLSID");
  names.name = ReadText(bag, L"FriendlyName");
  const std::vector<unsigned char> data = ReadFilterData(bag);
  names.merit = MeritText(data);
  names.filterData = HexText(data);
  bag->Release();
  // Upper case, as the comparison wants every GUID.
  for (char& c : names.clsid)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return names;
}

// Each moniker of ENUMERATOR as LINE_OF(moniker names).
template <typename LineOf>
void EachMoniker(IEnumMoniker* enumerator, std::vector<std::string>& lines, LineOf line_of) {
  IMoniker* moniker = nullptr;
  while (enumerator->Next(1, &moniker, nullptr) == S_OK) {
    lines.push_back(line_of(ReadMoniker(moniker)));
    moniker->Release();
  }
}

void ListLegacyFilters(std::vector<std::string>& lines) {
  ICreateDevEnum* devices = nullptr;
  HRESULT result = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ICreateDevEnum, reinterpret_cast<void**>(&devices));
  if (FAILED(result)) {
    lines.push_back(ErrorLine("CoCreateInstance(SystemDeviceEnum)", result));
    return;
  }
  IEnumMoniker* enumerator = nullptr;
  result = devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, &enumerator, 0);
  if (result == S_OK) {
    EachMoniker(enumerator, lines, [](const MonikerNames& n) {
      return "filter\t" + n.clsid + "\t" + n.merit + "\t" + Field(n.name) + "\t" + n.filterData;
    });
    enumerator->Release();
  } else if (FAILED(result)) {
    lines.push_back(ErrorLine("CreateClassEnumerator", result));
  }
  devices->Release();
}

struct MediaType {
  const GUID* major;
  GUID subtype;
};

// The subtype DirectShow forms from a FourCC.
GUID FourccSubtype(const char (&fourcc)[5]) {
  GUID guid = MEDIASUBTYPE_PCM;
  guid.Data1 = static_cast<unsigned char>(fourcc[0]) | static_cast<unsigned char>(fourcc[1]) << 8 |
               static_cast<unsigned char>(fourcc[2]) << 16 |
               static_cast<unsigned long>(static_cast<unsigned char>(fourcc[3])) << 24;
  return guid;
}

void ListMatches(IFilterMapper2* mapper, const MediaType& type, std::vector<std::string>& lines) {
  GUID pair[2] = {*type.major, type.subtype};
  IEnumMoniker* enumerator = nullptr;
  // Merit above MERIT_DO_NOT_USE, as a graph builder asks, wildcards allowed.
  HRESULT result =
      mapper->EnumMatchingFilters(&enumerator, 0, FALSE, MERIT_DO_NOT_USE + 1, TRUE, 1, pair,
                                  nullptr, nullptr, FALSE, FALSE, 0, nullptr, nullptr, nullptr);
  if (FAILED(result) || enumerator == nullptr) {
    lines.push_back(ErrorLine("EnumMatchingFilters", result));
    return;
  }
  std::string prefix = "match\t" + GuidText(pair[0]) + "\t" + GuidText(pair[1]) + "\t";
  EachMoniker(enumerator, lines,
              [&](const MonikerNames& n) { return prefix + n.clsid + "\t" + Field(n.name); });
  enumerator->Release();
}

void ListAllMatches(std::vector<std::string>& lines) {
  IFilterMapper2* mapper = nullptr;
  HRESULT result = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  if (FAILED(result)) {
    lines.push_back(ErrorLine("CoCreateInstance(FilterMapper2)", result));
    return;
  }
  // The AVI file itself, the test filters' FourCCs and formats Wine and Windows decode.
  const MediaType types[] = {
      {&MEDIATYPE_Stream, MEDIASUBTYPE_Avi},     {&MEDIATYPE_Video, FourccSubtype("KVDN")},
      {&MEDIATYPE_Video, FourccSubtype("KVDC")}, {&MEDIATYPE_Video, FourccSubtype("KVDH")},
      {&MEDIATYPE_Video, FourccSubtype("MJPG")}, {&MEDIATYPE_Video, FourccSubtype("cvid")},
      {&MEDIATYPE_Video, FourccSubtype("XVID")}, {&MEDIATYPE_Audio, MEDIASUBTYPE_PCM},
  };
  for (const MediaType& type : types) ListMatches(mapper, type, lines);
  mapper->Release();
}

std::string DmoInputs(const CLSID& clsid) {
  DMO_PARTIAL_MEDIATYPE inputs[64];
  DMO_PARTIAL_MEDIATYPE outputs[1];
  ULONG input_count = 0, output_count = 0;
  if (FAILED(DMOGetTypes(clsid, 64, &input_count, inputs, 0, &output_count, outputs))) return "?";
  std::string text;
  for (ULONG i = 0; i < input_count && i < 64; ++i) {
    if (!text.empty()) text += ",";
    text += GuidText(inputs[i].type) + "/" + GuidText(inputs[i].subtype);
  }
  return text;
}

void ListDmos(const GUID& category, const char* kind, std::vector<std::string>& lines) {
  IEnumDMO* enumerator = nullptr;
  HRESULT result = DMOEnum(category, DMO_ENUMF_INCLUDE_KEYED, 0, nullptr, 0, nullptr, &enumerator);
  if (FAILED(result) || enumerator == nullptr) {
    lines.push_back(ErrorLine("DMOEnum", result));
    return;
  }
  CLSID clsid;
  WCHAR* name = nullptr;
  while (enumerator->Next(1, &clsid, &name, nullptr) == S_OK) {
    lines.push_back(std::string("dmo\t") + kind + "\t" + GuidText(clsid) + "\t" +
                    Field(Utf8(name)) + "\t" + DmoInputs(clsid));
    CoTaskMemFree(name);
    name = nullptr;
  }
  enumerator->Release();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: directshow-probe OUTPUT\n");
    return 2;
  }
  HRESULT init = CoInitialize(nullptr);
  std::vector<std::string> lines;
  ListLegacyFilters(lines);
  ListAllMatches(lines);
  ListDmos(DMOCATEGORY_VIDEO_DECODER, "video", lines);
  ListDmos(DMOCATEGORY_AUDIO_DECODER, "audio", lines);
  if (SUCCEEDED(init)) CoUninitialize();
  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "directshow-probe: cannot write %s\n", argv[1]);
    return 1;
  }
  for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
  return std::fclose(out) == 0 ? 0 : 1;
}
