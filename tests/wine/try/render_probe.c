/* An independent check of the DirectShow try: IGraphBuilder::RenderFile on each file, with
   the renderers a player gets, and whether it renders every stream. Prints one line a file:
   NAME TAB "renders" or "fails" TAB the HRESULT in hex. NAME is the file's name without its
   folder. The suite compares these with what korvane check --try says of the same files. */
#define COBJMACROS
#include <windows.h>
/* The DirectShow headers need the Windows and COM types first. */
#include <ole2.h>
#include <stdio.h>
#include <strmif.h>
#include <uuids.h>

#define PARTIAL_RENDER ((HRESULT)0x00040242L)     /* VFW_S_PARTIAL_RENDER */
#define VIDEO_NOT_RENDERED ((HRESULT)0x00040257L) /* VFW_S_VIDEO_NOT_RENDERED */

static const char* base_name(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return name;
}

static HRESULT render(const char* path) {
  IGraphBuilder* graph = NULL;
  WCHAR wide[MAX_PATH];
  HRESULT hr = CoCreateInstance(&CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, &IID_IGraphBuilder,
                                (void**)&graph);
  if (FAILED(hr)) return hr;
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0) {
    IGraphBuilder_Release(graph);
    return E_INVALIDARG;
  }
  hr = IGraphBuilder_RenderFile(graph, wide, NULL);
  IGraphBuilder_Release(graph);
  return hr;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: korvane-render-probe FILE...\n");
    return 2;
  }
  if (FAILED(CoInitialize(NULL))) {
    fprintf(stderr, "korvane-render-probe: CoInitialize failed\n");
    return 1;
  }
  for (int i = 1; i < argc; ++i) {
    const HRESULT hr = render(argv[i]);
    /* A stream left out is a failure of that stream, whatever RenderFile calls the rest. */
    const int renders = SUCCEEDED(hr) && hr != PARTIAL_RENDER && hr != VIDEO_NOT_RENDERED;
    printf("%s\t%s\t0x%08lX\n", base_name(argv[i]), renders ? "renders" : "fails",
           (unsigned long)hr);
    fflush(stdout);
  }
  CoUninitialize();
  return 0;
}
