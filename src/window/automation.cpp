#include "window/automation.h"

#include <wrl/client.h>

#include <new>

#include "com_object.h"
#include "window/design.h"
#include "window/function_in.h"

using Microsoft::WRL::ComPtr;

namespace {

// uiautomationcore.dll's functions: found when a client first asks, and
// null until then or where the library is missing.
struct Core {
  uia::ReturnRawElementProviderFunction return_provider = nullptr;
  uia::HostProviderFromHwndFunction host_provider = nullptr;
  uia::ClientsAreListeningFunction clients_listen = nullptr;
  uia::RaisePropertyChangedFunction raise_property_changed = nullptr;
};
Core core;

bool CoreLoaded() {
  if (core.return_provider == nullptr) {
    const HMODULE library = SystemLibrary(L"uiautomationcore.dll");
    core = {
        FunctionIn<uia::ReturnRawElementProviderFunction>(library, "UiaReturnRawElementProvider"),
        FunctionIn<uia::HostProviderFromHwndFunction>(library, "UiaHostProviderFromHwnd"),
        FunctionIn<uia::ClientsAreListeningFunction>(library, "UiaClientsAreListening"),
        FunctionIn<uia::RaisePropertyChangedFunction>(library,
                                                      "UiaRaiseAutomationPropertyChangedEvent")};
  }
  return core.return_provider != nullptr && core.host_provider != nullptr;
}

HRESULT Text(const wchar_t* text, UINT length, VARIANT* out) {
  out->bstrVal = SysAllocStringLen(text, length);
  if (out->bstrVal == nullptr) {
    return E_OUTOFMEMORY;
  }
  out->vt = VT_BSTR;
  return S_OK;
}

// A control's element, hosted by the system's element for its window (which
// adds where it is, whether it has the focus and the like). It holds only the
// control's handle: a client may keep it after the window is gone, when it
// answers that the element is no longer there. It is called on the window's
// thread: clients elsewhere reach it through COM, and what it asks of the
// window it sends, as another program would.
class ControlElement final : public IRawElementProviderSimple,
                             public uia::RangeValueProvider,
                             public uia::ValueProvider,
                             public uia::InvokeProvider,
                             private ComObject {
 public:
  ControlElement(HWND control, AccessibleKind kind, const wchar_t* name)
      : control_(control), kind_(kind), name_(name) {}

  // IUnknown: the pattern of the control's kind.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    IUnknown* found = nullptr;
    if (id == __uuidof(IUnknown) || id == __uuidof(IRawElementProviderSimple)) {
      found = static_cast<IRawElementProviderSimple*>(this);
    } else if (id == uia::kRangeValueProviderId && kind_ == AccessibleKind::kChannel) {
      found = static_cast<uia::RangeValueProvider*>(this);
    } else if (id == uia::kValueProviderId && kind_ == AccessibleKind::kText) {
      found = static_cast<uia::ValueProvider*>(this);
    } else if (id == uia::kInvokeProviderId && kind_ == AccessibleKind::kButton) {
      found = static_cast<uia::InvokeProvider*>(this);
    }
    return Answer(found, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Retain(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

  // IRawElementProviderSimple
  HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override {
    if (options == nullptr) {
      return E_POINTER;
    }
    *options = static_cast<ProviderOptions>(ProviderOptions_ServerSideProvider |
                                            ProviderOptions_UseComThreading);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** provider) override {
    if (provider == nullptr) {
      return E_POINTER;
    }
    *provider = nullptr;
    if (!IsWindow(control_)) {
      return uia::kElementNotAvailable;
    }
    const IID* id = pattern == uia::kRangeValuePattern ? &uia::kRangeValueProviderId
                    : pattern == uia::kValuePattern    ? &uia::kValueProviderId
                    : pattern == uia::kInvokePattern   ? &uia::kInvokeProviderId
                                                       : nullptr;
    if (id == nullptr || FAILED(QueryInterface(*id, reinterpret_cast<void**>(provider)))) {
      *provider = nullptr;  // not a pattern of this kind: none, as UI Automation asks
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* value) override {
    if (value == nullptr) {
      return E_POINTER;
    }
    value->vt = VT_EMPTY;  // a property of the system's element, or of none
    if (!IsWindow(control_)) {
      return uia::kElementNotAvailable;
    }
    switch (property) {
      case uia::kControlTypeProperty:
        value->vt = VT_I4;
        value->lVal = kind_ == AccessibleKind::kChannel ? uia::kSliderControl
                      : kind_ == AccessibleKind::kText  ? uia::kEditControl
                                                        : uia::kButtonControl;
        return S_OK;
      case uia::kNameProperty:
        return name_ != nullptr ? Text(name_, lstrlenW(name_), value) : WindowText(value);
      case uia::kIsKeyboardFocusableProperty:
        // "Change" is a label that acts as a button: Enter, not the focus, reaches it.
        value->vt = VT_BOOL;
        value->boolVal = kind_ == AccessibleKind::kButton ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
      case uia::kAcceleratorKeyProperty:
        return kind_ == AccessibleKind::kButton ? Text(L"Enter", 5, value) : S_OK;
      default: return S_OK;
    }
  }
  HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override {
    if (host == nullptr) {
      return E_POINTER;
    }
    *host = nullptr;
    if (!IsWindow(control_)) {
      return uia::kElementNotAvailable;
    }
    return core.host_provider != nullptr ? core.host_provider(control_, host) : E_FAIL;
  }

  // RangeValue: a committed change, as the user's (the preview follows).
  HRESULT STDMETHODCALLTYPE SetValue(double value) override {
    SCROLLINFO bar{sizeof bar, SIF_RANGE, 0, 0, 0, 0, 0};
    if (const HRESULT read = Read(&bar); FAILED(read)) {
      return read;
    }
    if (!(value >= bar.nMin && value <= bar.nMax)) {  // NaN too
      return E_INVALIDARG;
    }
    const auto position = static_cast<WORD>(value + 0.5);  // the nearest, as value >= 0
    SendMessageW(GetParent(control_), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(control_));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Value(double* value) override {
    return Number(SIF_POS, &SCROLLINFO::nPos, value);
  }
  HRESULT STDMETHODCALLTYPE get_Maximum(double* maximum) override {
    return Number(SIF_RANGE, &SCROLLINFO::nMax, maximum);
  }
  HRESULT STDMETHODCALLTYPE get_Minimum(double* minimum) override {
    return Number(SIF_RANGE, &SCROLLINFO::nMin, minimum);
  }
  HRESULT STDMETHODCALLTYPE get_LargeChange(double* change) override {
    return Constant(design::kPageStep, change);
  }
  HRESULT STDMETHODCALLTYPE get_SmallChange(double* change) override { return Constant(1, change); }
  // Of both value patterns: a bar is never read-only, the sample text as its style says.
  HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) override {
    if (read_only == nullptr) {
      return E_POINTER;
    }
    if (!IsWindow(control_)) {
      return uia::kElementNotAvailable;
    }
    *read_only =
        kind_ == AccessibleKind::kText && (GetWindowLongW(control_, GWL_STYLE) & ES_READONLY);
    return S_OK;
  }

  // Value: the sample's text.
  HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR text) override {
    BOOL read_only = FALSE;
    if (const HRESULT read = get_IsReadOnly(&read_only); FAILED(read)) {
      return read;
    }
    if (text == nullptr) {
      return E_INVALIDARG;
    }
    if (read_only) {
      return uia::kElementNotEnabled;
    }
    return SetWindowTextW(control_, text) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
  }
  HRESULT STDMETHODCALLTYPE get_Value(BSTR* text) override {
    if (text == nullptr) {
      return E_POINTER;
    }
    *text = nullptr;
    VARIANT value{};
    const HRESULT read = IsWindow(control_) ? WindowText(&value) : uia::kElementNotAvailable;
    *text = value.bstrVal;
    return read;
  }

  // Invoke
  HRESULT STDMETHODCALLTYPE Invoke() override {
    return ClickLater(control_) ? S_OK : uia::kElementNotAvailable;
  }

 private:
  ~ControlElement() override = default;

  HRESULT Read(SCROLLINFO* bar) const {
    return IsWindow(control_) && GetScrollInfo(control_, SB_CTL, bar) ? S_OK
                                                                      : uia::kElementNotAvailable;
  }
  using Field = int SCROLLINFO::*;
  HRESULT Number(UINT what, Field field, double* out) const {
    if (out == nullptr) {
      return E_POINTER;
    }
    SCROLLINFO bar{sizeof bar, what, 0, 0, 0, 0, 0};
    const HRESULT read = Read(&bar);
    *out = SUCCEEDED(read) ? bar.*field : 0;
    return read;
  }
  HRESULT Constant(int number, double* out) const {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = number;
    return IsWindow(control_) ? S_OK : uia::kElementNotAvailable;
  }
  HRESULT WindowText(VARIANT* out) const {
    const int length = GetWindowTextLengthW(control_);
    out->bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (out->bstrVal == nullptr) {
      return E_OUTOFMEMORY;
    }
    out->vt = VT_BSTR;
    GetWindowTextW(control_, out->bstrVal, length + 1);
    return S_OK;
  }

  const HWND control_;
  const AccessibleKind kind_;
  const wchar_t* const name_;
};

}  // namespace

HRESULT NewControlElement(HWND control, AccessibleKind kind, const wchar_t* name,
                          IRawElementProviderSimple** element) {
  if (element == nullptr) {
    return E_POINTER;
  }
  *element = new (std::nothrow) ControlElement(control, kind, name);
  return *element == nullptr ? E_OUTOFMEMORY : S_OK;
}

LRESULT AnswerAutomationRequest(HWND control, AccessibleKind kind, const wchar_t* name,
                                WPARAM wparam, LPARAM lparam) {
  ComPtr<IRawElementProviderSimple> element;
  if (!CoreLoaded() || FAILED(NewControlElement(control, kind, name, &element))) {
    return 0;
  }
  return core.return_provider(control, wparam, lparam, element.Get());
}

void ForgetAutomationAnswers(HWND control) {
  if (core.return_provider != nullptr) {
    core.return_provider(control, 0, 0, nullptr);
  }
}

void RaiseValueChanged(HWND control, AccessibleKind kind, const wchar_t* name, int from, int to) {
  // Nothing to do, and nothing loaded, until a client has asked and listens.
  if (core.raise_property_changed == nullptr || core.clients_listen == nullptr ||
      !core.clients_listen()) {
    return;
  }
  ComPtr<IRawElementProviderSimple> element;
  if (FAILED(NewControlElement(control, kind, name, &element))) {
    return;
  }
  VARIANT before{};
  VARIANT after{};
  before.vt = after.vt = VT_R8;
  before.dblVal = from;
  after.dblVal = to;
  // A client that misses it reads the value when it next asks.
  core.raise_property_changed(element.Get(), uia::kRangeValueValueProperty, before, after);
}
