// A DirectShow renderer that takes decoded pictures and PCM only, counts what arrives and
// discards it: one filter with one input pin, for the DirectShow trial's graph.
#include "platform/win32/counting_renderer.h"

// The media type GUIDs and formats need the Windows types first.
#include <amvideo.h>
#include <dvdmedia.h>
#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "avi/riff_walk.h"
#include "platform/format.h"

namespace korvane {

const wchar_t kCountingRendererName[] = L"Null Renderer (counts and discards)";

namespace {

// Not registered anywhere: GetClassID only has to answer something.
const CLSID kCountingRendererClsid = {
    0x6b6f7276, 0x616e, 0x4e52, {0x8a, 0x3e, 0x1d, 0x52, 0x45, 0x4e, 0x44, 0x52}};

// Pictures a video renderer takes: RGB and the usual uncompressed YUV layouts.
const DWORD kDecodedPictures[] = {
    BI_RGB,
    BI_BITFIELDS,
    MAKEFOURCC('Y', 'U', 'Y', '2'),
    MAKEFOURCC('U', 'Y', 'V', 'Y'),
    MAKEFOURCC('Y', 'V', 'Y', 'U'),
    MAKEFOURCC('Y', 'V', '1', '2'),
    MAKEFOURCC('I', '4', '2', '0'),
    MAKEFOURCC('I', 'Y', 'U', 'V'),
    MAKEFOURCC('N', 'V', '1', '2'),
    MAKEFOURCC('A', 'Y', 'U', 'V'),
    MAKEFOURCC('Y', 'V', 'U', '9'),
    MAKEFOURCC('Y', '4', '1', 'P'),
};

void FreeMediaType(AM_MEDIA_TYPE* type) {
  if (type->cbFormat != 0) CoTaskMemFree(type->pbFormat);
  if (type->pUnk != nullptr) type->pUnk->Release();
  type->cbFormat = 0;
  type->pbFormat = nullptr;
  type->pUnk = nullptr;
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE& from) {
  *to = from;
  to->pbFormat = nullptr;
  to->cbFormat = 0;
  if (from.cbFormat != 0 && from.pbFormat != nullptr) {
    to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    if (to->pbFormat == nullptr) return E_OUTOFMEMORY;
    CopyMemory(to->pbFormat, from.pbFormat, from.cbFormat);
    to->cbFormat = from.cbFormat;
  }
  if (to->pUnk != nullptr) to->pUnk->AddRef();
  return S_OK;
}

// The picture header of a video type, or null when the format is not one it can hold.
const BITMAPINFOHEADER* PictureHeader(const AM_MEDIA_TYPE& type) {
  if (type.pbFormat == nullptr) return nullptr;
  if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    return &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
  }
  if (type.formattype == FORMAT_VideoInfo2 && type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    return &reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
  }
  return nullptr;
}

const WAVEFORMATEX* SoundFormat(const AM_MEDIA_TYPE& type) {
  if (type.formattype != FORMAT_WaveFormatEx || type.pbFormat == nullptr ||
      type.cbFormat < sizeof(WAVEFORMATEX) - sizeof(WORD)) {
    return nullptr;
  }
  return reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
}

// PCM (1) or IEEE float (3), also inside an extensible format; 0 for anything else.
WORD DecodedSoundTag(const AM_MEDIA_TYPE& type, const WAVEFORMATEX& wave) {
  WORD tag = wave.wFormatTag;
  if (tag == WAVE_FORMAT_EXTENSIBLE && type.cbFormat >= sizeof(WAVEFORMATEXTENSIBLE)) {
    const GUID& sub = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(&wave)->SubFormat;
    tag = static_cast<WORD>(sub.Data1);
  }
  return tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT ? tag : 0;
}

bool IsDecoded(const AM_MEDIA_TYPE& type) {
  if (type.majortype == MEDIATYPE_Video) {
    const BITMAPINFOHEADER* picture = PictureHeader(type);
    if (picture == nullptr) return false;
    for (DWORD layout : kDecodedPictures) {
      if (picture->biCompression == layout) return true;
    }
    return false;
  }
  if (type.majortype == MEDIATYPE_Audio) {
    const WAVEFORMATEX* wave = SoundFormat(type);
    return wave != nullptr && DecodedSoundTag(type, *wave) != 0;
  }
  return false;
}

// "64x48 RGB24", "64x48 YUY2", "PCM, 22050 Hz, 16-bit, mono".
std::string FormatText(const AM_MEDIA_TYPE& type) {
  if (const BITMAPINFOHEADER* picture = PictureHeader(type)) {
    const DWORD layout = picture->biCompression;
    const std::string name = layout == BI_RGB         ? Format("RGB%d", picture->biBitCount)
                             : layout == BI_BITFIELDS ? Format("RGB%d", picture->biBitCount)
                                                      : FourCCText(layout);
    return Format(
               "%ldx%ld ", static_cast<long>(picture->biWidth),
               static_cast<long>(picture->biHeight < 0 ? -picture->biHeight : picture->biHeight)) +
           name;
  }
  if (const WAVEFORMATEX* wave = SoundFormat(type)) {
    const std::string channels = wave->nChannels == 1   ? "mono"
                                 : wave->nChannels == 2 ? "stereo"
                                                        : Format("%d channels", wave->nChannels);
    return Format("%s, %lu Hz, %d-bit, ",
                  DecodedSoundTag(type, *wave) == WAVE_FORMAT_IEEE_FLOAT ? "IEEE float" : "PCM",
                  static_cast<unsigned long>(wave->nSamplesPerSec), wave->wBitsPerSample) +
           channels;
  }
  return std::string();
}

// IUnknown for an object behind one interface: QueryInterface answers IUnknown and the
// IIDs given (the interface's own and those it derives from), and the object deletes itself
// when its last reference goes.
template <class Interface, const IID&... kAnswers>
class ComObject : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && !((iid == kAnswers) || ...)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  LONG references_ = 1;
};

// An enumerator of no media types: the renderer prefers none, it takes what it accepts.
class NoMediaTypes final : public ComObject<IEnumMediaTypes, IID_IEnumMediaTypes> {
 public:
  STDMETHODIMP Next(ULONG, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    if (types == nullptr) return E_POINTER;
    if (fetched != nullptr) *fetched = 0;
    return S_FALSE;
  }
  STDMETHODIMP Skip(ULONG) override { return S_FALSE; }
  STDMETHODIMP Reset() override { return S_OK; }
  STDMETHODIMP Clone(IEnumMediaTypes** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = new NoMediaTypes;
    return S_OK;
  }
};

class Renderer;

// The one input pin. Its references are the filter's, as they live and die together.
class InputPin final : public IPin, public IMemInputPin {
 public:
  explicit InputPin(Renderer* filter) : filter_(filter) {}
  ~InputPin() {
    if (connected_ != nullptr) connected_->Release();
    FreeMediaType(&type_);
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin. A renderer's input pin is connected to, never connects.
  STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override {
    if (direction == nullptr) return E_POINTER;
    *direction = PINDIR_INPUT;
    return S_OK;
  }
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override {
    return type != nullptr && IsDecoded(*type) ? S_OK : S_FALSE;
  }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override {
    if (types == nullptr) return E_POINTER;
    *types = new NoMediaTypes;
    return S_OK;
  }
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override { return S_OK; }
  STDMETHODIMP EndFlush() override { return S_OK; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // IMemInputPin: the upstream pin brings its own allocator.
  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override {
    if (allocator != nullptr) *allocator = nullptr;
    return VFW_E_NO_ALLOCATOR;
  }
  STDMETHODIMP NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  STDMETHODIMP Receive(IMediaSample* sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }

  RendererCounts Counts();

 private:
  void Count(unsigned samples, bool ended);

  Renderer* filter_;
  IPin* connected_ = nullptr;
  AM_MEDIA_TYPE type_ = {};
  unsigned samples_ = 0;
  bool ended_ = false;
};

// The filter. Its count is also its pin's.
class Renderer final
    : public ComObject<IBaseFilter, IID_IPersist, IID_IMediaFilter, IID_IBaseFilter> {
 public:
  Renderer(HANDLE arrived, unsigned frames, unsigned buffers)
      : arrived_(arrived), frames_(frames), buffers_(buffers), pin_(this) {
    InitializeCriticalSection(&lock_);
  }
  ~Renderer() override { DeleteCriticalSection(&lock_); }

  STDMETHODIMP GetClassID(CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = kCountingRendererClsid;
    return S_OK;
  }
  STDMETHODIMP Stop() override { return SetState(State_Stopped); }
  STDMETHODIMP Pause() override { return SetState(State_Paused); }
  STDMETHODIMP Run(REFERENCE_TIME) override { return SetState(State_Running); }
  STDMETHODIMP GetState(DWORD, FILTER_STATE* state) override {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
  }
  // It renders as fast as samples come: the clock does not matter.
  STDMETHODIMP SetSyncSource(IReferenceClock*) override { return S_OK; }
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override {
    if (clock == nullptr) return E_POINTER;
    *clock = nullptr;
    return S_OK;
  }
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override {
    if (id == nullptr || pin == nullptr) return E_POINTER;
    *pin = nullptr;
    if (lstrcmpW(id, L"In") != 0) return VFW_E_NOT_FOUND;
    *pin = &pin_;
    pin_.AddRef();
    return S_OK;
  }
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override {
    if (info == nullptr) return E_POINTER;
    lstrcpynW(info->achName, name_, MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
  }
  // The graph holds the filter, so the filter does not hold the graph.
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    graph_ = graph;
    lstrcpynW(name_, name != nullptr ? name : L"", MAX_FILTER_NAME);
    return S_OK;
  }
  STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

  IPin* Pin() { return &pin_; }
  CRITICAL_SECTION* Lock() { return &lock_; }
  void Arrived() { SetEvent(arrived_); }
  unsigned Limit(bool video) const { return video ? frames_ : buffers_; }

 private:
  HRESULT SetState(FILTER_STATE state) {
    state_ = state;
    return S_OK;
  }

  HANDLE arrived_;
  unsigned frames_;
  unsigned buffers_;
  InputPin pin_;
  CRITICAL_SECTION lock_;
  FILTER_STATE state_ = State_Stopped;
  IFilterGraph* graph_ = nullptr;
  WCHAR name_[MAX_FILTER_NAME] = L"";
};

// Enumerates the renderer's one pin.
class OnePin final : public ComObject<IEnumPins, IID_IEnumPins> {
 public:
  OnePin(Renderer* filter, ULONG position) : filter_(filter), position_(position) {
    filter_->AddRef();
  }
  ~OnePin() override { filter_->Release(); }

  STDMETHODIMP Next(ULONG wanted, IPin** pins, ULONG* fetched) override {
    if (pins == nullptr) return E_POINTER;
    ULONG given = 0;
    if (wanted > 0 && position_ == 0) {
      pins[0] = filter_->Pin();
      pins[0]->AddRef();
      position_ = 1;
      given = 1;
    }
    if (fetched != nullptr) *fetched = given;
    return given == wanted ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const ULONG left = position_ == 0 ? 1 : 0;
    position_ = count > 0 ? 1 : position_;
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumPins** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = new OnePin(filter_, position_);
    return S_OK;
  }

 private:
  Renderer* filter_;
  ULONG position_;
};

STDMETHODIMP Renderer::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  *pins = new OnePin(this, 0);
  return S_OK;
}

STDMETHODIMP InputPin::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *out = static_cast<IPin*>(this);
  } else if (iid == IID_IMemInputPin) {
    *out = static_cast<IMemInputPin*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) InputPin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) InputPin::Release() { return filter_->Release(); }

STDMETHODIMP InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (connector == nullptr || type == nullptr) return E_POINTER;
  if (connected_ != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (!IsDecoded(*type)) return VFW_E_TYPE_NOT_ACCEPTED;
  const HRESULT copied = CopyMediaType(&type_, *type);
  if (FAILED(copied)) return copied;
  connected_ = connector;
  connected_->AddRef();
  return S_OK;
}

STDMETHODIMP InputPin::Disconnect() {
  if (connected_ == nullptr) return S_FALSE;
  connected_->Release();
  connected_ = nullptr;
  FreeMediaType(&type_);
  type_ = AM_MEDIA_TYPE{};
  return S_OK;
}

STDMETHODIMP InputPin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  *pin = connected_;
  if (connected_ == nullptr) return VFW_E_NOT_CONNECTED;
  connected_->AddRef();
  return S_OK;
}

STDMETHODIMP InputPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  if (connected_ == nullptr) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(type, type_);
}

STDMETHODIMP InputPin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = static_cast<IBaseFilter*>(filter_);
  info->pFilter->AddRef();
  info->dir = PINDIR_INPUT;
  lstrcpynW(info->achName, L"In", MAX_PIN_NAME);
  return S_OK;
}

STDMETHODIMP InputPin::QueryId(LPWSTR* id) {
  if (id == nullptr) return E_POINTER;
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(L"In")));
  if (*id == nullptr) return E_OUTOFMEMORY;
  CopyMemory(*id, L"In", sizeof(L"In"));
  return S_OK;
}

void InputPin::Count(unsigned samples, bool ended) {
  EnterCriticalSection(filter_->Lock());
  const unsigned limit = filter_->Limit(type_.majortype == MEDIATYPE_Video);
  samples_ = samples_ + samples < limit ? samples_ + samples : limit;
  ended_ = ended_ || ended;
  LeaveCriticalSection(filter_->Lock());
  filter_->Arrived();
}

STDMETHODIMP InputPin::EndOfStream() {
  Count(0, true);
  return S_OK;
}

STDMETHODIMP InputPin::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  Count(1, false);
  return S_OK;
}

STDMETHODIMP InputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (samples == nullptr || processed == nullptr) return E_POINTER;
  *processed = count > 0 ? count : 0;
  Count(static_cast<unsigned>(*processed), false);
  return S_OK;
}

RendererCounts InputPin::Counts() {
  RendererCounts counts;
  EnterCriticalSection(filter_->Lock());
  counts.connected = connected_ != nullptr;
  counts.video = counts.connected && type_.majortype == MEDIATYPE_Video;
  counts.format = counts.connected ? FormatText(type_) : std::string();
  counts.samples = samples_;
  counts.ended = ended_;
  LeaveCriticalSection(filter_->Lock());
  return counts;
}

}  // namespace

IBaseFilter* NewCountingRenderer(HANDLE arrived, unsigned frames, unsigned buffers) {
  return new Renderer(arrived, frames, buffers);
}

RendererCounts CountsOf(IBaseFilter* renderer) {
  IPin* pin = nullptr;
  RendererCounts counts;
  if (FAILED(renderer->FindPin(L"In", &pin)) || pin == nullptr) return counts;
  counts = static_cast<InputPin*>(pin)->Counts();
  pin->Release();
  return counts;
}

}  // namespace korvane
