/* A DirectShow video decoder filter for the playback tests that is registered properly and
   then cannot be made: its registration (legacy filter category, one input pin for its own
   FourCC, one output pin, a merit above every decoder Windows or Wine brings) makes it the
   decoder a graph picks for its FourCC; its DllGetClassObject then fails.
   KORVANE_FILTER_NONE answers CLASS_E_CLASSNOTAVAILABLE, KORVANE_FILTER_CRASHES writes
   through a null pointer, KORVANE_FILTER_HANGS never returns. regsvr32 registers and
   unregisters it. */
#include <windows.h>
/* The DirectShow headers need the Windows and COM types first. */
#include <ole2.h>
#include <strmif.h>
#include <uuids.h>

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
#elif defined(KORVANE_FILTER_HANGS)
#define FILTER_FOURCC 0x4844564Bu /* 'KVDH' */
#define FILTER_NAME L"Korvane test filter KVDH (hangs)"
#define FILTER_CLSID_TEXT L"{4844564B-4B56-4453-8000-6B7664736867}"
static const CLSID filter_clsid = {
    0x4844564B, 0x4B56, 0x4453, {0x80, 0x00, 0x6B, 0x76, 0x64, 0x73, 0x68, 0x67}};
#else
#error "define KORVANE_FILTER_NONE, KORVANE_FILTER_CRASHES or KORVANE_FILTER_HANGS"
#endif

/* The media subtype DirectShow forms from a FourCC. */
static const GUID filter_subtype = {
    FILTER_FOURCC, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
static const WCHAR clsid_key[] = L"CLSID\\" FILTER_CLSID_TEXT;
static const WCHAR server_key[] = L"CLSID\\" FILTER_CLSID_TEXT L"\\InprocServer32";

static HMODULE this_module;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) this_module = instance;
  return TRUE;
}

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  (void)clsid;
  (void)iid;
  if (out != NULL) *out = NULL;
#if defined(KORVANE_FILTER_CRASHES)
  {
    /* Through a volatile address, so that the compiler writes to it instead of putting a
       trap instruction in its place: an access violation on every target. */
    volatile UINT_PTR address = 0;
    *(volatile int*)address = 0;
  }
#elif defined(KORVANE_FILTER_HANGS)
  for (;;) Sleep(1000);
#endif
  return CLASS_E_CLASSNOTAVAILABLE;
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow(void) { return S_OK; }

static HRESULT SetText(HKEY key, const WCHAR* name, const WCHAR* text) {
  DWORD bytes = (DWORD)((lstrlenW(text) + 1) * sizeof(WCHAR));
  LONG error = RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text, bytes);
  return HRESULT_FROM_WIN32(error);
}

/* HKCR\CLSID\{clsid}: the filter's name and InprocServer32, this library by its full path. */
static HRESULT WriteServerKey(void) {
  WCHAR path[MAX_PATH];
  DWORD length = GetModuleFileNameW(this_module, path, MAX_PATH);
  HKEY key;
  LONG error;
  HRESULT result;
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  error =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, clsid_key, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  result = SetText(key, NULL, FILTER_NAME);
  RegCloseKey(key);
  if (FAILED(result)) return result;
  error =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, server_key, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  result = SetText(key, NULL, path);
  if (SUCCEEDED(result)) result = SetText(key, L"ThreadingModel", L"Both");
  RegCloseKey(key);
  return result;
}

static void DeleteServerKey(void) {
  RegDeleteKeyW(HKEY_CLASSES_ROOT, server_key);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, clsid_key);
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
  HRESULT result = WriteServerKey();
  if (SUCCEEDED(result)) result = WithMapper(RegisterWithMapper);
  /* Half a registration would be a different test machine: leave none. */
  if (FAILED(result)) DeleteServerKey();
  return result;
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
  HRESULT result = WithMapper(UnregisterWithMapper);
  DeleteServerKey();
  return result;
}
