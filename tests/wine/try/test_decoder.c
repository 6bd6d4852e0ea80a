/* A Video for Windows decompressor for the --try tests that accepts its own FourCC and then
   misbehaves while decoding: KORVANE_DECODER_CRASHES writes through a null pointer,
   KORVANE_DECODER_HANGS never returns. Everything before the decoding itself is proper, so
   the static check finds it registered and loading. */
#include <windows.h>
/* The Video for Windows header needs the Windows types first. */
#include <vfw.h>

#if defined(KORVANE_DECODER_CRASHES)
#define DECODER_FOURCC mmioFOURCC('K', 'V', 'C', 'R')
#elif defined(KORVANE_DECODER_HANGS)
#define DECODER_FOURCC mmioFOURCC('K', 'V', 'H', 'G')
#else
#error "define KORVANE_DECODER_CRASHES or KORVANE_DECODER_HANGS"
#endif

static LRESULT QueryInput(const BITMAPINFOHEADER* in) {
  return in != NULL && in->biCompression == DECODER_FOURCC ? ICERR_OK : ICERR_BADFORMAT;
}

static LRESULT OutputFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
  if (QueryInput(in) != ICERR_OK) return ICERR_BADFORMAT;
  if (out == NULL) return sizeof(BITMAPINFOHEADER);
  ZeroMemory(out, sizeof(*out));
  out->biSize = sizeof(*out);
  out->biWidth = in->biWidth;
  out->biHeight = in->biHeight < 0 ? -in->biHeight : in->biHeight;
  out->biPlanes = 1;
  out->biBitCount = 24;
  out->biCompression = BI_RGB;
  out->biSizeImage = ((out->biWidth * 24 + 31) / 32 * 4) * out->biHeight;
  return ICERR_OK;
}

static LRESULT Decompress(void) {
#if defined(KORVANE_DECODER_CRASHES)
  /* Through a volatile address, so that the compiler writes to it instead of putting a
     trap instruction in its place: an access violation on every target. */
  volatile UINT_PTR address = 0;
  *(volatile int*)address = 0;
#else
  for (;;) Sleep(1000);
#endif
  return ICERR_OK;
}

__declspec(dllexport) LRESULT CALLBACK
    DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM param1, LPARAM param2) {
  (void)id;
  (void)driver;
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_CLOSE:
      return 1;
    case DRV_OPEN: {
      ICOPEN* open = (ICOPEN*)param2;
      if (open != NULL && open->fccType != ICTYPE_VIDEO && open->fccType != 0) return 0;
      if (open != NULL) open->dwError = ICERR_OK;
      return 1;
    }
    case DRV_QUERYCONFIGURE:
      return 0;
    case ICM_GETINFO: {
      ICINFO* info = (ICINFO*)param1;
      if (info == NULL || (DWORD)param2 < sizeof(ICINFO)) return 0;
      ZeroMemory(info, sizeof(*info));
      info->dwSize = sizeof(*info);
      info->fccType = ICTYPE_VIDEO;
      info->fccHandler = DECODER_FOURCC;
      info->dwVersion = 1;
      info->dwVersionICM = ICVERSION;
      lstrcpyW(info->szName, L"korvane test");
      lstrcpyW(info->szDescription, L"korvane test decoder");
      return sizeof(*info);
    }
    case ICM_DECOMPRESS_QUERY:
      return QueryInput((const BITMAPINFOHEADER*)param1);
    case ICM_DECOMPRESS_GET_FORMAT:
      return OutputFormat((const BITMAPINFOHEADER*)param1, (BITMAPINFOHEADER*)param2);
    case ICM_DECOMPRESS_BEGIN:
    case ICM_DECOMPRESS_END:
      return ICERR_OK;
    case ICM_DECOMPRESS:
      return Decompress();
    default:
      return message >= DRV_USER ? ICERR_UNSUPPORTED : 0;
  }
}
