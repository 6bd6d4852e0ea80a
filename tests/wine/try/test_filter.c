/* A DirectShow video decoder filter for the playback tests that is registered properly and
   then misbehaves: its registration (legacy filter category, one input pin for its own
   FourCC, one output pin, a merit above every decoder Windows or Wine brings) makes it the
   decoder a graph picks for its FourCC.
   KORVANE_FILTER_NONE cannot be made: its DllGetClassObject answers
   CLASS_E_CLASSNOTAVAILABLE. KORVANE_FILTER_CRASHES writes through a null pointer and
   KORVANE_FILTER_HANGS never returns, each when it is handed its own FourCC: offered as a
   decoder's input, or, in its second role as an AVI splitter, found in the head of the
   file the source filter reads to it. Any other file it refuses, so that the graph goes on
   to the next filter. Wine's AVI splitters give a FourCC the host's GStreamer does not
   know no typed pin, so under Wine only the splitter role is ever handed the file.
   regsvr32 registers and unregisters the decoder role; `regsvr32 /n /i:splitter` the
   splitter role (with a merit above every AVI splitter), which takes every AVI file first
   and so is registered only where a test wants it. */
#include <stddef.h>
/* The vtables below are constant, as COM allows. */
#define CONST_VTABLE
#include <windows.h>
/* The DirectShow headers need the Windows and COM types first. */
#include <ole2.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#if defined(KORVANE_FILTER_NONE)
#define FILTER_FOURCC 0x4E44564Bu /* 'KVDN' */
#define FILTER_NAME L"Korvane test filter KVDN (no class)"
#define FILTER_CLSID_TEXT L"{4E44564B-4B56-4453-8000-6B7664736E6F}"
static const CLSID filter_clsid = {
    0x4E44564B, 0x4B56, 0x4453, {0x80, 0x00, 0x6B, 0x76, 0x64, 0x73, 0x6E, 0x6F}};
#elif defined(KORVANE_FILTER_CRASHES)
#define FILTER_FOURCC 0x4344564Bu /* 'KVDC' */
#define FILTER_NAME L"Korvane test filter KVDC (crashes)"
#define FILTER_CLSID_TEXT L"{4344564B-4B56-4453-8000-6B7664736372}"
static const CLSID filter_clsid = {
    0x4344564B, 0x4B56, 0x4453, {0x80, 0x00, 0x6B, 0x76, 0x64, 0x73, 0x63, 0x72}};
#define SPLITTER_NAME L"Korvane test splitter KVDC (crashes)"
#define SPLITTER_CLSID_TEXT L"{4344564B-4B56-4453-8001-6B7664736372}"
static const CLSID splitter_clsid = {
    0x4344564B, 0x4B56, 0x4453, {0x80, 0x01, 0x6B, 0x76, 0x64, 0x73, 0x63, 0x72}};
#elif defined(KORVANE_FILTER_HANGS)
#define FILTER_FOURCC 0x4844564Bu /* 'KVDH' */
#define FILTER_NAME L"Korvane test filter KVDH (hangs)"
#define FILTER_CLSID_TEXT L"{4844564B-4B56-4453-8000-6B7664736867}"
static const CLSID filter_clsid = {
    0x4844564B, 0x4B56, 0x4453, {0x80, 0x00, 0x6B, 0x76, 0x64, 0x73, 0x68, 0x67}};
#define SPLITTER_NAME L"Korvane test splitter KVDH (hangs)"
#define SPLITTER_CLSID_TEXT L"{4844564B-4B56-4453-8001-6B7664736867}"
static const CLSID splitter_clsid = {
    0x4844564B, 0x4B56, 0x4453, {0x80, 0x01, 0x6B, 0x76, 0x64, 0x73, 0x68, 0x67}};
#else
#error "define KORVANE_FILTER_NONE, KORVANE_FILTER_CRASHES or KORVANE_FILTER_HANGS"
#endif

/* The media subtype DirectShow forms from a FourCC. */
static const GUID filter_subtype = {
    FILTER_FOURCC, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

static HMODULE this_module;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) this_module = instance;
  return TRUE;
}

#if defined(SPLITTER_NAME)
/* Crashes or hangs, as this filter was built to. */
static void Misbehave(void) {
#if defined(KORVANE_FILTER_CRASHES)
  /* Through a volatile address, so that the compiler writes to it instead of putting a
     trap instruction in its place: an access violation on every target. */
  volatile UINT_PTR address = 0;
  *(volatile int*)address = 0;
#else
  for (;;) Sleep(1000);
#endif
}

/* The head of the file the source reads to a splitter holds the stream headers, and with
   them each stream's FourCC. */
#define HEAD_BYTES 4096

static BOOL HeadHasFourCC(IPin* connector) {
  IAsyncReader* reader = NULL;
  BYTE* head;
  BOOL found = FALSE;
  LONG i;
  if (FAILED(connector->lpVtbl->QueryInterface(connector, &IID_IAsyncReader, (void**)&reader))) {
    return FALSE;
  }
  head = (BYTE*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, HEAD_BYTES);
  /* A file shorter than the head reads short (S_FALSE) with the rest left zero. */
  if (head != NULL && SUCCEEDED(reader->lpVtbl->SyncRead(reader, 0, HEAD_BYTES, head))) {
    for (i = 0; i + 4 <= HEAD_BYTES && !found; ++i) {
      found = head[i] == (BYTE)FILTER_FOURCC && head[i + 1] == (BYTE)(FILTER_FOURCC >> 8) &&
              head[i + 2] == (BYTE)(FILTER_FOURCC >> 16) &&
              head[i + 3] == (BYTE)(FILTER_FOURCC >> 24);
    }
  }
  if (head != NULL) HeapFree(GetProcessHeap(), 0, head);
  reader->lpVtbl->Release(reader);
  return found;
}

/* The filter: one input pin, which takes nothing and misbehaves when handed its FourCC.
   Both roles are this one object; the graph never gets as far as running it. */
typedef struct {
  IBaseFilter filter;
  IPin pin;
  LONG refs;
  CLSID clsid;
  IFilterGraph* graph; /* not held, as the graph holds its filters */
  WCHAR name[MAX_FILTER_NAME];
} TestFilter;

#define FROM_FILTER(p) ((TestFilter*)((BYTE*)(p)-offsetof(TestFilter, filter)))
#define FROM_PIN(p) ((TestFilter*)((BYTE*)(p)-offsetof(TestFilter, pin)))

/* An enumerator of the filter's one pin, holding the filter. */
typedef struct {
  IEnumPins pins;
  LONG refs;
  LONG next;
  TestFilter* owner;
} PinEnum;

static ULONG Hold(TestFilter* self) { return (ULONG)InterlockedIncrement(&self->refs); }

static ULONG Drop(TestFilter* self) {
  LONG refs = InterlockedDecrement(&self->refs);
  if (refs == 0) HeapFree(GetProcessHeap(), 0, self);
  return (ULONG)refs;
}

/* IBaseFilter */
static HRESULT WINAPI FilterQueryInterface(IBaseFilter* iface, REFIID iid, void** out) {
  if (out == NULL) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IPersist) &&
      !IsEqualIID(iid, &IID_IMediaFilter) && !IsEqualIID(iid, &IID_IBaseFilter)) {
    return E_NOINTERFACE;
  }
  *out = iface;
  Hold(FROM_FILTER(iface));
  return S_OK;
}
static ULONG WINAPI FilterAddRef(IBaseFilter* iface) { return Hold(FROM_FILTER(iface)); }
static ULONG WINAPI FilterRelease(IBaseFilter* iface) { return Drop(FROM_FILTER(iface)); }
static HRESULT WINAPI FilterGetClassID(IBaseFilter* iface, CLSID* clsid) {
  if (clsid == NULL) return E_POINTER;
  *clsid = FROM_FILTER(iface)->clsid;
  return S_OK;
}
static HRESULT WINAPI FilterStop(IBaseFilter* iface) {
  (void)iface;
  return S_OK;
}
static HRESULT WINAPI FilterPause(IBaseFilter* iface) {
  (void)iface;
  return S_OK;
}
static HRESULT WINAPI FilterRun(IBaseFilter* iface, REFERENCE_TIME start) {
  (void)iface;
  (void)start;
  return S_OK;
}
static HRESULT WINAPI FilterGetState(IBaseFilter* iface, DWORD ms, FILTER_STATE* state) {
  (void)iface;
  (void)ms;
  if (state == NULL) return E_POINTER;
  *state = State_Stopped;
  return S_OK;
}
static HRESULT WINAPI FilterSetSyncSource(IBaseFilter* iface, IReferenceClock* clock) {
  (void)iface;
  (void)clock;
  return S_OK;
}
static HRESULT WINAPI FilterGetSyncSource(IBaseFilter* iface, IReferenceClock** clock) {
  (void)iface;
  if (clock == NULL) return E_POINTER;
  *clock = NULL;
  return S_OK;
}
static HRESULT NewPinEnum(TestFilter* owner, LONG next, IEnumPins** pins);

static HRESULT WINAPI FilterEnumPins(IBaseFilter* iface, IEnumPins** pins) {
  if (pins == NULL) return E_POINTER;
  return NewPinEnum(FROM_FILTER(iface), 0, pins);
}
static HRESULT WINAPI FilterFindPin(IBaseFilter* iface, LPCWSTR id, IPin** pin) {
  TestFilter* self = FROM_FILTER(iface);
  if (pin == NULL) return E_POINTER;
  *pin = NULL;
  if (id == NULL || lstrcmpW(id, L"In") != 0) return VFW_E_NOT_FOUND;
  *pin = &self->pin;
  Hold(self);
  return S_OK;
}
static HRESULT WINAPI FilterQueryFilterInfo(IBaseFilter* iface, FILTER_INFO* info) {
  TestFilter* self = FROM_FILTER(iface);
  if (info == NULL) return E_POINTER;
  lstrcpynW(info->achName, self->name, MAX_FILTER_NAME);
  info->pGraph = self->graph;
  if (info->pGraph != NULL) info->pGraph->lpVtbl->AddRef(info->pGraph);
  return S_OK;
}
static HRESULT WINAPI FilterJoinFilterGraph(IBaseFilter* iface, IFilterGraph* graph, LPCWSTR name) {
  TestFilter* self = FROM_FILTER(iface);
  self->graph = graph;
  self->name[0] = L'\0';
  if (name != NULL) lstrcpynW(self->name, name, MAX_FILTER_NAME);
  return S_OK;
}
static HRESULT WINAPI FilterQueryVendorInfo(IBaseFilter* iface, LPWSTR* info) {
  (void)iface;
  (void)info;
  return E_NOTIMPL;
}

static const IBaseFilterVtbl filter_vtbl = {FilterQueryInterface,
                                            FilterAddRef,
                                            FilterRelease,
                                            FilterGetClassID,
                                            FilterStop,
                                            FilterPause,
                                            FilterRun,
                                            FilterGetState,
                                            FilterSetSyncSource,
                                            FilterGetSyncSource,
                                            FilterEnumPins,
                                            FilterFindPin,
                                            FilterQueryFilterInfo,
                                            FilterJoinFilterGraph,
                                            FilterQueryVendorInfo};

/* IPin */
static HRESULT WINAPI PinQueryInterface(IPin* iface, REFIID iid, void** out) {
  if (out == NULL) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IPin)) return E_NOINTERFACE;
  *out = iface;
  Hold(FROM_PIN(iface));
  return S_OK;
}
static ULONG WINAPI PinAddRef(IPin* iface) { return Hold(FROM_PIN(iface)); }
static ULONG WINAPI PinRelease(IPin* iface) { return Drop(FROM_PIN(iface)); }
static HRESULT WINAPI PinConnect(IPin* iface, IPin* to, const AM_MEDIA_TYPE* type) {
  (void)iface;
  (void)to;
  (void)type;
  return E_UNEXPECTED; /* an input pin is connected to, it does not connect */
}
/* Where the filter is handed a stream: as a decoder, a media type naming its FourCC; as
   a splitter, the source's reader of a file that holds it. */
static HRESULT WINAPI PinReceiveConnection(IPin* iface, IPin* connector,
                                           const AM_MEDIA_TYPE* type) {
  (void)iface;
  if (connector == NULL || type == NULL) return E_POINTER;
  if (IsEqualGUID(&type->subtype, &filter_subtype) || HeadHasFourCC(connector)) Misbehave();
  return VFW_E_TYPE_NOT_ACCEPTED;
}
static HRESULT WINAPI PinDisconnect(IPin* iface) {
  (void)iface;
  return S_FALSE;
}
static HRESULT WINAPI PinConnectedTo(IPin* iface, IPin** pin) {
  (void)iface;
  if (pin == NULL) return E_POINTER;
  *pin = NULL;
  return VFW_E_NOT_CONNECTED;
}
static HRESULT WINAPI PinConnectionMediaType(IPin* iface, AM_MEDIA_TYPE* type) {
  (void)iface;
  (void)type;
  return VFW_E_NOT_CONNECTED;
}
static HRESULT WINAPI PinQueryPinInfo(IPin* iface, PIN_INFO* info) {
  TestFilter* self = FROM_PIN(iface);
  if (info == NULL) return E_POINTER;
  info->pFilter = &self->filter;
  Hold(self);
  info->dir = PINDIR_INPUT;
  lstrcpynW(info->achName, L"In", MAX_PIN_NAME);
  return S_OK;
}
static HRESULT WINAPI PinQueryDirection(IPin* iface, PIN_DIRECTION* direction) {
  (void)iface;
  if (direction == NULL) return E_POINTER;
  *direction = PINDIR_INPUT;
  return S_OK;
}
static HRESULT WINAPI PinQueryId(IPin* iface, LPWSTR* id) {
  (void)iface;
  if (id == NULL) return E_POINTER;
  *id = (LPWSTR)CoTaskMemAlloc(sizeof(L"In"));
  if (*id == NULL) return E_OUTOFMEMORY;
  lstrcpyW(*id, L"In");
  return S_OK;
}
static HRESULT WINAPI PinQueryAccept(IPin* iface, const AM_MEDIA_TYPE* type) {
  (void)iface;
  (void)type;
  return S_FALSE;
}
static HRESULT WINAPI PinEnumMediaTypes(IPin* iface, IEnumMediaTypes** types) {
  (void)iface;
  if (types != NULL) *types = NULL;
  return E_NOTIMPL; /* the connecting pin proposes its own types */
}
static HRESULT WINAPI PinQueryInternalConnections(IPin* iface, IPin** pins, ULONG* count) {
  (void)iface;
  (void)pins;
  (void)count;
  return E_NOTIMPL;
}
static HRESULT WINAPI PinEndOfStream(IPin* iface) {
  (void)iface;
  return S_OK;
}
static HRESULT WINAPI PinBeginFlush(IPin* iface) {
  (void)iface;
  return S_OK;
}
static HRESULT WINAPI PinEndFlush(IPin* iface) {
  (void)iface;
  return S_OK;
}
static HRESULT WINAPI PinNewSegment(IPin* iface, REFERENCE_TIME start, REFERENCE_TIME stop,
                                    double rate) {
  (void)iface;
  (void)start;
  (void)stop;
  (void)rate;
  return S_OK;
}

static const IPinVtbl pin_vtbl = {PinQueryInterface,    PinAddRef,
                                  PinRelease,           PinConnect,
                                  PinReceiveConnection, PinDisconnect,
                                  PinConnectedTo,       PinConnectionMediaType,
                                  PinQueryPinInfo,      PinQueryDirection,
                                  PinQueryId,           PinQueryAccept,
                                  PinEnumMediaTypes,    PinQueryInternalConnections,
                                  PinEndOfStream,       PinBeginFlush,
                                  PinEndFlush,          PinNewSegment};

/* IEnumPins over the one pin */
static HRESULT WINAPI PinsQueryInterface(IEnumPins* iface, REFIID iid, void** out) {
  if (out == NULL) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IEnumPins)) return E_NOINTERFACE;
  *out = iface;
  InterlockedIncrement(&((PinEnum*)iface)->refs);
  return S_OK;
}
static ULONG WINAPI PinsAddRef(IEnumPins* iface) {
  return (ULONG)InterlockedIncrement(&((PinEnum*)iface)->refs);
}
static ULONG WINAPI PinsRelease(IEnumPins* iface) {
  PinEnum* self = (PinEnum*)iface;
  LONG refs = InterlockedDecrement(&self->refs);
  if (refs == 0) {
    Drop(self->owner);
    HeapFree(GetProcessHeap(), 0, self);
  }
  return (ULONG)refs;
}
static HRESULT WINAPI PinsNext(IEnumPins* iface, ULONG count, IPin** pins, ULONG* fetched) {
  PinEnum* self = (PinEnum*)iface;
  ULONG given = 0;
  if (pins == NULL || (count > 1 && fetched == NULL)) return E_POINTER;
  if (count > 0 && self->next == 0) {
    pins[0] = &self->owner->pin;
    Hold(self->owner);
    self->next = 1;
    given = 1;
  }
  if (fetched != NULL) *fetched = given;
  return given == count ? S_OK : S_FALSE;
}
static HRESULT WINAPI PinsSkip(IEnumPins* iface, ULONG count) {
  PinEnum* self = (PinEnum*)iface;
  HRESULT result = count <= (ULONG)(1 - self->next) ? S_OK : S_FALSE;
  if (count > 0) self->next = 1;
  return result;
}
static HRESULT WINAPI PinsReset(IEnumPins* iface) {
  ((PinEnum*)iface)->next = 0;
  return S_OK;
}
static HRESULT WINAPI PinsClone(IEnumPins* iface, IEnumPins** clone) {
  PinEnum* self = (PinEnum*)iface;
  if (clone == NULL) return E_POINTER;
  return NewPinEnum(self->owner, self->next, clone);
}

static const IEnumPinsVtbl pins_vtbl = {PinsQueryInterface, PinsAddRef, PinsRelease, PinsNext,
                                        PinsSkip,           PinsReset,  PinsClone};

static HRESULT NewPinEnum(TestFilter* owner, LONG next, IEnumPins** pins) {
  PinEnum* self = (PinEnum*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(*self));
  *pins = NULL;
  if (self == NULL) return E_OUTOFMEMORY;
  self->pins.lpVtbl = &pins_vtbl;
  self->refs = 1;
  self->next = next;
  self->owner = owner;
  Hold(owner);
  *pins = &self->pins;
  return S_OK;
}

static HRESULT NewFilter(const CLSID* clsid, REFIID iid, void** out) {
  HRESULT result;
  TestFilter* self = (TestFilter*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(*self));
  if (self == NULL) return E_OUTOFMEMORY;
  self->filter.lpVtbl = &filter_vtbl;
  self->pin.lpVtbl = &pin_vtbl;
  self->refs = 1;
  self->clsid = *clsid;
  result = FilterQueryInterface(&self->filter, iid, out);
  Drop(self);
  return result;
}

/* The class factory of both roles. */
typedef struct {
  IClassFactory factory;
  const CLSID* clsid;
} Factory;

static HRESULT WINAPI FactoryQueryInterface(IClassFactory* iface, REFIID iid, void** out) {
  if (out == NULL) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IClassFactory)) {
    return E_NOINTERFACE;
  }
  *out = iface;
  return S_OK;
}
/* The factories are static: counting their references would keep nothing alive. */
static ULONG WINAPI FactoryAddRef(IClassFactory* iface) {
  (void)iface;
  return 2;
}
static ULONG WINAPI FactoryRelease(IClassFactory* iface) {
  (void)iface;
  return 1;
}
static HRESULT WINAPI FactoryCreateInstance(IClassFactory* iface, IUnknown* outer, REFIID iid,
                                            void** out) {
  if (out == NULL) return E_POINTER;
  *out = NULL;
  if (outer != NULL) return CLASS_E_NOAGGREGATION;
  return NewFilter(((Factory*)iface)->clsid, iid, out);
}
static HRESULT WINAPI FactoryLockServer(IClassFactory* iface, BOOL lock) {
  (void)iface;
  (void)lock;
  return S_OK;
}

static const IClassFactoryVtbl factory_vtbl = {FactoryQueryInterface, FactoryAddRef, FactoryRelease,
                                               FactoryCreateInstance, FactoryLockServer};
static Factory decoder_factory = {{&factory_vtbl}, &filter_clsid};
static Factory splitter_factory = {{&factory_vtbl}, &splitter_clsid};
#endif

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (out == NULL) return E_POINTER;
  *out = NULL;
#if defined(SPLITTER_NAME)
  if (IsEqualCLSID(clsid, &filter_clsid)) {
    return FactoryQueryInterface(&decoder_factory.factory, iid, out);
  }
  if (IsEqualCLSID(clsid, &splitter_clsid)) {
    return FactoryQueryInterface(&splitter_factory.factory, iid, out);
  }
#else
  (void)clsid;
  (void)iid;
#endif
  return CLASS_E_CLASSNOTAVAILABLE;
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow(void) { return S_FALSE; }

static HRESULT SetText(HKEY key, const WCHAR* name, const WCHAR* text) {
  DWORD bytes = (DWORD)((lstrlenW(text) + 1) * sizeof(WCHAR));
  LONG error = RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text, bytes);
  return HRESULT_FROM_WIN32(error);
}

/* HKCR\CLSID\{clsid}: the filter's name and InprocServer32, this library by its full path. */
static HRESULT WriteServerKey(const WCHAR* clsid_text, const WCHAR* name) {
  WCHAR path[MAX_PATH];
  WCHAR key_name[96];
  DWORD length = GetModuleFileNameW(this_module, path, MAX_PATH);
  HKEY key;
  LONG error;
  HRESULT result;
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  lstrcpyW(key_name, L"CLSID\\");
  lstrcatW(key_name, clsid_text);
  error = RegCreateKeyExW(HKEY_CLASSES_ROOT, key_name, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  result = SetText(key, NULL, name);
  RegCloseKey(key);
  if (FAILED(result)) return result;
  lstrcatW(key_name, L"\\InprocServer32");
  error = RegCreateKeyExW(HKEY_CLASSES_ROOT, key_name, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  result = SetText(key, NULL, path);
  if (SUCCEEDED(result)) result = SetText(key, L"ThreadingModel", L"Both");
  RegCloseKey(key);
  return result;
}

static void DeleteServerKey(const WCHAR* clsid_text) {
  WCHAR key_name[96];
  lstrcpyW(key_name, L"CLSID\\");
  lstrcatW(key_name, clsid_text);
  lstrcatW(key_name, L"\\InprocServer32");
  RegDeleteKeyW(HKEY_CLASSES_ROOT, key_name);
  key_name[6 + lstrlenW(clsid_text)] = L'\0';
  RegDeleteKeyW(HKEY_CLASSES_ROOT, key_name);
}

/* Runs WORK with the filter mapper, in a COM apartment of its own when the caller has none. */
static HRESULT WithMapper(HRESULT (*work)(IFilterMapper2*)) {
  IFilterMapper2* mapper = NULL;
  HRESULT init = CoInitialize(NULL);
  HRESULT result = CoCreateInstance(&CLSID_FilterMapper2, NULL, CLSCTX_INPROC_SERVER,
                                    &IID_IFilterMapper2, (void**)&mapper);
  if (SUCCEEDED(result)) {
    result = work(mapper);
    mapper->lpVtbl->Release(mapper);
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return result;
}

static HRESULT RegisterWithMapper(IFilterMapper2* mapper) {
  static const REGPINTYPES input_type = {&MEDIATYPE_Video, &filter_subtype};
  static const REGPINTYPES output_type = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
  REGFILTERPINS2 pins[2];
  REGFILTER2 filter;
  ZeroMemory(pins, sizeof(pins));
  pins[0].cInstances = 1;
  pins[0].nMediaTypes = 1;
  pins[0].lpMediaType = &input_type;
  pins[1].dwFlags = REG_PINFLAG_B_OUTPUT;
  pins[1].cInstances = 1;
  pins[1].nMediaTypes = 1;
  pins[1].lpMediaType = &output_type;
  ZeroMemory(&filter, sizeof(filter));
  filter.dwVersion = 2;
  filter.dwMerit = MERIT_PREFERRED + 1;
  filter.cPins2 = 2;
  filter.rgPins2 = pins;
  return mapper->lpVtbl->RegisterFilter(mapper, &filter_clsid, FILTER_NAME, NULL,
                                        &CLSID_LegacyAmFilterCategory, NULL, &filter);
}

static HRESULT UnregisterWithMapper(IFilterMapper2* mapper) {
  return mapper->lpVtbl->UnregisterFilter(mapper, &CLSID_LegacyAmFilterCategory, NULL,
                                          &filter_clsid);
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
  HRESULT result = WriteServerKey(FILTER_CLSID_TEXT, FILTER_NAME);
  if (SUCCEEDED(result)) result = WithMapper(RegisterWithMapper);
  /* Half a registration would be a different test machine: leave none. */
  if (FAILED(result)) DeleteServerKey(FILTER_CLSID_TEXT);
  return result;
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
  HRESULT result = WithMapper(UnregisterWithMapper);
  DeleteServerKey(FILTER_CLSID_TEXT);
  return result;
}

#if defined(SPLITTER_NAME)
/* Above every AVI splitter Windows or Wine registers (Wine's GStreamer splitter filter
   among them), so that the graph builder offers it every AVI file first. */
#define SPLITTER_MERIT 0x00FF0000u

/* An output pin of any video type too, as splitters register: the graph builder only
   considers a filter with an output pin to carry a stream on. */
static HRESULT RegisterSplitterWithMapper(IFilterMapper2* mapper) {
  static const GUID any_subtype = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  static const REGPINTYPES input_type = {&MEDIATYPE_Stream, &MEDIASUBTYPE_Avi};
  static const REGPINTYPES output_type = {&MEDIATYPE_Video, &any_subtype};
  REGFILTERPINS2 pins[2];
  REGFILTER2 filter;
  ZeroMemory(pins, sizeof(pins));
  pins[0].cInstances = 1;
  pins[0].nMediaTypes = 1;
  pins[0].lpMediaType = &input_type;
  pins[1].dwFlags = REG_PINFLAG_B_OUTPUT;
  pins[1].nMediaTypes = 1;
  pins[1].lpMediaType = &output_type;
  ZeroMemory(&filter, sizeof(filter));
  filter.dwVersion = 2;
  filter.dwMerit = SPLITTER_MERIT;
  filter.cPins2 = 2;
  filter.rgPins2 = pins;
  return mapper->lpVtbl->RegisterFilter(mapper, &splitter_clsid, SPLITTER_NAME, NULL,
                                        &CLSID_LegacyAmFilterCategory, NULL, &filter);
}

static HRESULT UnregisterSplitterWithMapper(IFilterMapper2* mapper) {
  return mapper->lpVtbl->UnregisterFilter(mapper, &CLSID_LegacyAmFilterCategory, NULL,
                                          &splitter_clsid);
}
#endif

/* regsvr32 /n /i:splitter [/u]: the splitter role alone. */
__declspec(dllexport) HRESULT WINAPI DllInstall(BOOL install, LPCWSTR command) {
#if defined(SPLITTER_NAME)
  HRESULT result;
  if (command == NULL || lstrcmpiW(command, L"splitter") != 0) return E_INVALIDARG;
  if (!install) {
    result = WithMapper(UnregisterSplitterWithMapper);
    DeleteServerKey(SPLITTER_CLSID_TEXT);
    return result;
  }
  result = WriteServerKey(SPLITTER_CLSID_TEXT, SPLITTER_NAME);
  if (SUCCEEDED(result)) result = WithMapper(RegisterSplitterWithMapper);
  if (FAILED(result)) DeleteServerKey(SPLITTER_CLSID_TEXT);
  return result;
#else
  (void)install;
  (void)command;
  return E_NOTIMPL; /* this filter cannot be made, in any role */
#endif
}
