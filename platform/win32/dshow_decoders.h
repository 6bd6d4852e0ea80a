// The registered decoders a DirectShow graph left out, made one by one to name why.
#pragma once

#include <windows.h>
// The DirectShow headers need the Windows types first.
#include <strmif.h>

#include <string>

namespace korvane {

// "; NAME cannot be made: HRESULT" for each decoder registered for one of the file's
// compressed streams that the graph does not hold and that cannot be made, or nothing.
std::string UnmadeDecoders(IFilterGraph* graph, const std::string& path);

}  // namespace korvane
