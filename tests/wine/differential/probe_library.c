/* Libraries that the report differential puts on the scratch prefix for both sides to
   probe: one that loads (it needs only kernel32), and, built with -DKORVANE_NEEDS_DEP,
   one that imports a library the differential leaves off the machine. */
#include <windows.h>

#ifdef KORVANE_NEEDS_DEP
__declspec(dllimport) int KorvaneDependency(void);
__declspec(dllexport) int KorvaneProbe(void) { return KorvaneDependency(); }
#elif defined(KORVANE_DEPENDENCY)
__declspec(dllexport) int KorvaneDependency(void) { return 1; }
#else
__declspec(dllexport) int KorvaneProbe(void) { return (int)GetCurrentProcessId(); }
#endif
