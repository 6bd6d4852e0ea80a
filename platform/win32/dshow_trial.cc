// The DirectShow trial: the Filter Graph Manager builds the graph a player would build for
// a file, with Intelligent Connect, up to renderers of this program that count what
// arrives and discard it; the graph runs until the first frames and sound reach them.
#include <windows.h>
// The DirectShow headers need the Windows types first.
#include <control.h>
#include <evcode.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/format.h"
#include "platform/win32/counting_renderer.h"
#include "platform/win32/dshow_decoders.h"
#include "platform/win32/dshow_trial.h"
#include "platform/win32/trial_stage.h"
#include "platform/win32/wide_text.h"

namespace korvane {
namespace {

constexpr unsigned kFramesToWaitFor = 10;
constexpr unsigned kSoundBuffersToWaitFor = 4;
constexpr DWORD kPollMs = 50;

// A COM interface pointer, released on every path.
template <typename T>
class Com {
 public:
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() { Reset(); }
  void Reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

struct ComLibrary {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~ComLibrary() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

struct EventHandle {
  HANDLE handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ~EventHandle() {
    if (handle != nullptr) CloseHandle(handle);
  }
};

std::wstring Wide(const std::string& text) {
  const int chars = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (chars <= 1) return std::wstring();
  std::wstring out(static_cast<size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], chars);
  out.resize(static_cast<size_t>(chars - 1));
  return out;
}

GraphFinding Failed(const std::string& step, HRESULT hr) {
  GraphFinding graph;
  graph.finding.outcome = TryOutcome::kDoesNotDecode;
  graph.finding.text = "does not decode: " + HresultName(hr) + " while " + step;
  return graph;
}

// The name the class is registered with (HKCR\CLSID\{...}), the name a player's graph
// shows for a source it made itself; empty when it has none.
std::string RegisteredName(IBaseFilter* filter) {
  CLSID clsid = {};
  if (FAILED(filter->GetClassID(&clsid))) return std::string();
  wchar_t text[64] = L"";
  if (StringFromGUID2(clsid, text, 64) == 0) return std::string();
  const std::wstring key = std::wstring(L"CLSID\\") + text;
  wchar_t name[256] = L"";
  LONG size = sizeof(name);
  if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), name, &size) != ERROR_SUCCESS) {
    return std::string();
  }
  name[255] = L'\0';
  return Utf8(name);
}

std::string FilterName(IBaseFilter* filter, bool isSource) {
  if (isSource) {
    const std::string registered = RegisteredName(filter);
    if (!registered.empty()) return registered;
  }
  FILTER_INFO info = {};
  if (FAILED(filter->QueryFilterInfo(&info))) return "?";
  if (info.pGraph != nullptr) info.pGraph->Release();
  info.achName[MAX_FILTER_NAME - 1] = L'\0';
  return Utf8(info.achName);
}

bool IsOurRenderer(IBaseFilter* filter, const std::vector<IBaseFilter*>& renderers) {
  for (IBaseFilter* renderer : renderers) {
    if (renderer == filter) return true;
  }
  return false;
}

// What the graph joined below filter, one chain per end, each starting with chain;
// unconnected output pins are listed in *loose ("AVI Splitter's pin 'Stream 01'").
struct GraphWalk {
  const std::vector<IBaseFilter*>* renderers;
  std::vector<std::vector<std::string>> branches;
  std::vector<std::string> loose;
};

void WalkFrom(IBaseFilter* filter, std::vector<std::string> chain, GraphWalk* walk, int depth) {
  chain.push_back(IsOurRenderer(filter, *walk->renderers) ? Utf8(kCountingRendererName)
                                                          : FilterName(filter, depth == 0));
  Com<IEnumPins> pins;
  bool onward = false;
  if (depth < 16 && SUCCEEDED(filter->EnumPins(pins.Out()))) {
    IPin* raw = nullptr;
    while (pins->Next(1, &raw, nullptr) == S_OK) {
      Com<IPin> pin;
      *pin.Out() = raw;
      PIN_DIRECTION direction = PINDIR_INPUT;
      if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) continue;
      Com<IPin> peer;
      PIN_INFO info = {};
      if (FAILED(pin->ConnectedTo(peer.Out())) || !peer || FAILED(peer->QueryPinInfo(&info))) {
        PIN_INFO own = {};
        if (SUCCEEDED(pin->QueryPinInfo(&own))) {
          if (own.pFilter != nullptr) own.pFilter->Release();
          own.achName[MAX_PIN_NAME - 1] = L'\0';
          walk->loose.push_back(chain.back() + "'s pin '" + Utf8(own.achName) + "'");
        }
        continue;
      }
      onward = true;
      if (info.pFilter != nullptr) {
        WalkFrom(info.pFilter, chain, walk, depth + 1);
        info.pFilter->Release();
      }
    }
  }
  if (!onward) walk->branches.push_back(chain);
}

// The first frames and sound, or the end of every stream, have reached each renderer
// that was connected.
bool EnoughArrived(const std::vector<IBaseFilter*>& renderers) {
  for (IBaseFilter* renderer : renderers) {
    const RendererCounts counts = CountsOf(renderer);
    if (!counts.connected || counts.ended) continue;
    if (counts.samples < (counts.video ? kFramesToWaitFor : kSoundBuffersToWaitFor)) return false;
  }
  return true;
}

// An error the graph reported while it ran (EC_ERRORABORT), or S_OK.
HRESULT GraphError(IMediaEvent* events) {
  long code = 0;
  LONG_PTR first = 0, second = 0;
  HRESULT error = S_OK;
  while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
    if (code == EC_ERRORABORT || code == EC_ERRORABORTEX) {
      error = static_cast<HRESULT>(first);
      if (error == S_OK) error = E_FAIL;
    }
    events->FreeEventParams(code, first, second);
  }
  return error;
}

// Lets the graph run, with the thread's messages handled, until enough has arrived.
HRESULT WaitForSamples(IMediaEvent* events, HANDLE arrived,
                       const std::vector<IBaseFilter*>& renderers) {
  for (;;) {
    const HRESULT error = GraphError(events);
    if (FAILED(error)) return error;
    if (EnoughArrived(renderers)) return S_OK;
    MsgWaitForMultipleObjects(1, &arrived, FALSE, kPollMs, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
}

// "decodes: 10 frames, 64x48 RGB24; sound: 4 buffers, PCM, 22050 Hz, 16-bit, mono"
GraphFinding Arrived(const std::vector<IBaseFilter*>& renderers, GraphFinding graph) {
  std::vector<std::string> parts;
  bool anything = false;
  for (IBaseFilter* renderer : renderers) {
    const RendererCounts counts = CountsOf(renderer);
    if (!counts.connected) continue;
    anything = anything || counts.samples > 0;
    if (counts.video) {
      graph.frames += counts.samples;
      parts.push_back(Format("%u frame%s, ", counts.samples, counts.samples == 1 ? "" : "s") +
                      counts.format);
    } else {
      parts.push_back(
          Format("sound: %u buffer%s, ", counts.samples, counts.samples == 1 ? "" : "s") +
          counts.format);
    }
  }
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  graph.finding.outcome = anything ? TryOutcome::kDecodes : TryOutcome::kDoesNotDecode;
  graph.finding.text = anything ? "decodes: " + text
                                : "does not decode: the streams ended before anything reached "
                                  "the renderers";
  return graph;
}

// The graph built: a failure when a stream of the file reached no renderer, whether a
// pin was left unconnected or the splitter offered no pin for it at all (Wine's GStreamer
// splitter leaves out a stream the host cannot decode).
std::optional<GraphFinding> Unrendered(HRESULT rendered, const GraphWalk& walk) {
  size_t connected = 0;
  for (IBaseFilter* renderer : *walk.renderers) connected += CountsOf(renderer).connected ? 1 : 0;
  const size_t streams = walk.renderers->size();
  if (rendered == S_OK && walk.loose.empty() && connected >= streams) return std::nullopt;
  GraphFinding graph =
      Failed("connecting the file's streams to renderers (IFilterGraph2::RenderEx)",
             rendered == S_OK ? VFW_S_PARTIAL_RENDER : rendered);
  std::string loose;
  for (const std::string& pin : walk.loose) loose += (loose.empty() ? "" : ", ") + pin;
  if (!loose.empty()) graph.finding.text += "; nothing takes " + loose;
  if (connected > 0 && connected < streams) {
    graph.finding.text += Format("; %u of the file's %u audio and video streams reach a renderer",
                                 static_cast<unsigned>(connected), static_cast<unsigned>(streams));
  }
  graph.branches = walk.branches;
  return graph;
}

GraphFinding RunGraph(IGraphBuilder* builder, HANDLE arrived,
                      const std::vector<IBaseFilter*>& renderers, GraphFinding built,
                      const std::function<void(const GraphFinding&)>& found) {
  Com<IMediaFilter> timing;
  // No clock: the samples go as fast as the filters make them.
  if (SUCCEEDED(builder->QueryInterface(IID_IMediaFilter, timing.OutVoid()))) {
    timing->SetSyncSource(nullptr);
  }
  Com<IMediaControl> control;
  Com<IMediaEvent> events;
  HRESULT hr = builder->QueryInterface(IID_IMediaControl, control.OutVoid());
  if (SUCCEEDED(hr)) hr = builder->QueryInterface(IID_IMediaEvent, events.OutVoid());
  if (FAILED(hr)) return Failed("asking the graph for IMediaControl and IMediaEvent", hr);
  Stage("running the graph (IMediaControl::Run)");
  hr = control->Run();
  if (FAILED(hr)) {
    GraphFinding failed = Failed("running the graph (IMediaControl::Run)", hr);
    failed.branches = built.branches;
    return failed;
  }
  Stage("waiting for the first frames and sound at the renderers");
  hr = WaitForSamples(events.get(), arrived, renderers);
  GraphFinding graph;
  if (FAILED(hr)) {
    graph = Failed("the graph ran (EC_ERRORABORT)", hr);
    graph.branches = built.branches;
  } else {
    graph = Arrived(renderers, std::move(built));
  }
  if (found) found(graph);
  Stage("stopping the graph (IMediaControl::Stop)");
  control->Stop();
  return graph;
}

// Every output pin of the source rendered to the renderers already in the graph.
HRESULT RenderSource(IGraphBuilder* builder, IBaseFilter* source) {
  Com<IFilterGraph2> graph;
  HRESULT hr = builder->QueryInterface(IID_IFilterGraph2, graph.OutVoid());
  if (FAILED(hr)) return hr;
  Com<IEnumPins> pins;
  hr = source->EnumPins(pins.Out());
  if (FAILED(hr)) return hr;
  HRESULT worst = S_OK;
  IPin* raw = nullptr;
  while (pins->Next(1, &raw, nullptr) == S_OK) {
    Com<IPin> pin;
    *pin.Out() = raw;
    PIN_DIRECTION direction = PINDIR_INPUT;
    if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) continue;
    hr = graph->RenderEx(pin.get(), AM_RENDEREX_RENDERTOEXISTINGRENDERERS, nullptr);
    if (FAILED(hr) || (hr != S_OK && worst == S_OK)) worst = hr;
  }
  return worst;
}

}  // namespace

GraphFinding DirectShowGraphTrial(const std::string& path, size_t rendererCount,
                                  const std::function<void(const GraphFinding&)>& found) {
  Stage("starting COM (CoInitializeEx)");
  ComLibrary com;
  if (FAILED(com.hr)) return Failed("starting COM (CoInitializeEx)", com.hr);
  Stage("creating the Filter Graph Manager (CoCreateInstance)");
  Com<IGraphBuilder> builder;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                builder.OutVoid());
  if (FAILED(hr)) return Failed("creating the Filter Graph Manager (CoCreateInstance)", hr);
  EventHandle arrived;
  std::vector<IBaseFilter*> renderers;
  struct Owned {
    std::vector<IBaseFilter*>* list;
    ~Owned() {
      for (IBaseFilter* filter : *list) filter->Release();
    }
  } owned{&renderers};
  for (size_t i = 0; i < rendererCount && i < 64; ++i) {
    renderers.push_back(
        NewCountingRenderer(arrived.handle, kFramesToWaitFor, kSoundBuffersToWaitFor));
    hr = builder->AddFilter(renderers.back(), kCountingRendererName);
    if (FAILED(hr)) return Failed("adding this program's renderers (AddFilter)", hr);
  }
  Stage("adding the file's source filter (IGraphBuilder::AddSourceFilter)");
  Com<IBaseFilter> source;
  hr = builder->AddSourceFilter(Wide(path).c_str(), nullptr, source.Out());
  if (FAILED(hr)) {
    return Failed("adding the file's source filter (IGraphBuilder::AddSourceFilter)", hr);
  }
  Stage("connecting the file's streams to renderers (IFilterGraph2::RenderEx)");
  const HRESULT rendered = RenderSource(builder.get(), source.get());
  GraphWalk walk{&renderers, {}, {}};
  WalkFrom(source.get(), {}, &walk, 0);
  if (auto failed = Unrendered(rendered, walk)) {
    failed->finding.text += UnmadeDecoders(builder.get(), path);
    return *failed;
  }
  GraphFinding built;
  built.branches = walk.branches;
  return RunGraph(builder.get(), arrived.handle, renderers, std::move(built), found);
}

}  // namespace korvane
