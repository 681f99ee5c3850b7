#include "window/accessible.h"

#include <commctrl.h>
#include <wrl/client.h>

#include <memory>
#include <new>
#include <utility>

#include "com_object.h"
#include "window/automation.h"
#include "window/function_in.h"

using Microsoft::WRL::ComPtr;

namespace {

// What a control was set up with.
struct SetUp {
  AccessibleKind kind;
  const wchar_t* name;
};

HRESULT Text(const wchar_t* text, BSTR* out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = SysAllocString(text);
  return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

// Whether child names the object itself, read as Microsoft's own objects
// read it: CHILDID_SELF, also by reference, and an argument left out (as a
// script client leaves it).
bool IsSelf(const VARIANT& child) {
  switch (child.vt) {
    case VT_BYREF | VT_VARIANT: return child.pvarVal != nullptr && IsSelf(*child.pvarVal);
    case VT_ERROR: return child.scode == DISP_E_PARAMNOTFOUND;
    case VT_EMPTY: return true;
    case VT_I4: return child.lVal == CHILDID_SELF;
    default: return false;
  }
}

// The system's object for the control, with the program's answers where it
// has them, and the system's other interfaces (its window, its children)
// where it has them. It holds only the control's handle: a client may keep
// it after the window is gone, when its own answers fail and the system's
// say so.
class ControlAccessible final : public IAccessible,
                                public IOleWindow,
                                public IEnumVARIANT,
                                private ComObject {
 public:
  ControlAccessible(HWND control, const SetUp& set_up, IAccessible* system)
      : control_(control), kind_(set_up.kind), name_(set_up.name), system_(system) {
    system_.As(&window_);
    system_.As(&children_);
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    IUnknown* found = nullptr;
    if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
      found = static_cast<IAccessible*>(this);
    } else if (id == __uuidof(IOleWindow) && window_) {
      found = static_cast<IOleWindow*>(this);
    } else if (id == __uuidof(IEnumVARIANT) && children_) {
      found = static_cast<IEnumVARIANT*>(this);
    }
    return Answer(found, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Retain(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

  // IDispatch: the system's type information, invoked on this object.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return system_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return system_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return system_->GetIDsOfNames(id, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID reserved, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override {
    if (reserved != IID_NULL) {
      return DISP_E_UNKNOWNINTERFACE;
    }
    ComPtr<ITypeInfo> info;
    if (const HRESULT got = system_->GetTypeInfo(0, locale, &info); FAILED(got)) {
      return got;
    }
    return DispInvoke(static_cast<IAccessible*>(this), info.Get(), member, flags, parameters,
                      result, exception, argument_error);
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return system_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return system_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return system_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child) || name_ == nullptr) {
      return system_->get_accName(child, name);
    }
    return IsWindow(control_) ? Text(name_, name) : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!IsSelf(child) || kind_ != AccessibleKind::kChannel) {
      return system_->get_accValue(child, value);
    }
    return ChannelText(SIF_POS, L"%d", value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    // Not the system's words for a scroll bar ("Used to change the
    // horizontal viewing area"): the range that the value lies in.
    if (!IsSelf(child) || kind_ != AccessibleKind::kChannel) {
      return system_->get_accDescription(child, description);
    }
    return ChannelText(SIF_RANGE, L"%d to %d", description);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child) || kind_ == AccessibleKind::kText) {
      return system_->get_accRole(child, role);
    }
    if (role == nullptr) {
      return E_POINTER;
    }
    role->vt = VT_I4;
    role->lVal = kind_ == AccessibleKind::kButton ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_SLIDER;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT got = system_->get_accState(child, state);
    // A button is not read-only text; it takes no focus, as before.
    if (SUCCEEDED(got) && IsSelf(child) && kind_ == AccessibleKind::kButton && state->vt == VT_I4) {
      state->lVal &= ~STATE_SYSTEM_READONLY;
    }
    return got;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return system_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return system_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    // Enter performs it from anywhere in the window, as a default button's.
    if (IsSelf(child) && kind_ == AccessibleKind::kButton) {
      return IsWindow(control_) ? Text(L"Enter", shortcut) : CO_E_OBJNOTCONNECTED;
    }
    return system_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return system_->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return system_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (IsSelf(child) && kind_ == AccessibleKind::kButton) {
      return IsWindow(control_) ? Text(L"Press", action) : CO_E_OBJNOTCONNECTED;
    }
    return system_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return system_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return system_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return system_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override {
    return system_->accHitTest(left, top, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!IsSelf(child) || kind_ != AccessibleKind::kButton) {
      return system_->accDoDefaultAction(child);
    }
    return ClickLater(control_) ? S_OK : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return system_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return system_->put_accValue(child, value);
  }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override { return window_->GetWindow(window); }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override {
    return window_->ContextSensitiveHelp(enter);
  }

  // IEnumVARIANT
  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
    return children_->Next(count, items, fetched);
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return children_->Skip(count); }
  HRESULT STDMETHODCALLTYPE Reset() override { return children_->Reset(); }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override { return children_->Clone(copy); }

 private:
  ~ControlAccessible() override = default;

  // The bar's position or range (what asks for), written as format says.
  HRESULT ChannelText(UINT what, const wchar_t* format, BSTR* out) const {
    SCROLLINFO bar{sizeof bar, what, 0, 0, 0, 0, 0};
    if (!IsWindow(control_) || !GetScrollInfo(control_, SB_CTL, &bar)) {
      return CO_E_OBJNOTCONNECTED;
    }
    wchar_t text[32] = {};
    if (what == SIF_POS) {
      wsprintfW(text, format, bar.nPos);
    } else {
      wsprintfW(text, format, bar.nMin, bar.nMax);
    }
    return Text(text, out);
  }

  const HWND control_;
  const AccessibleKind kind_;
  const wchar_t* const name_;
  const ComPtr<IAccessible> system_;
  ComPtr<IOleWindow> window_;
  ComPtr<IEnumVARIANT> children_;
};

// The object for a WM_GETOBJECT, or 0 to let the control answer as usual.
LRESULT AnswerObjectRequest(HWND control, const SetUp& set_up, WPARAM flags) {
  const HMODULE library = SystemLibrary(L"oleacc.dll");
  using CreateFunction = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
  using LresultFunction = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  const auto create = FunctionIn<CreateFunction>(library, "CreateStdAccessibleObject");
  const auto lresult = FunctionIn<LresultFunction>(library, "LresultFromObject");
  ComPtr<IAccessible> system;
  ComPtr<IAccessible> object;
  if (create == nullptr || lresult == nullptr ||
      FAILED(create(control, OBJID_CLIENT, __uuidof(IAccessible), &system)) ||
      FAILED(WrapAccessible(control, set_up.kind, set_up.name, system.Get(), &object))) {
    return 0;
  }
  const LRESULT answer = lresult(__uuidof(IAccessible), flags, object.Get());
  return answer > 0 ? answer : 0;
}

// The common controls' subclassing, which keeps any other subclass of the
// control working. comctl32 is loaded at the start (by the name that the
// manifest redirects to version 6); its functions are found at the first
// control set up.
struct Subclassing {
  using SetFunction = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
  using RemoveFunction = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
  using GetFunction = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);
  using NextFunction = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
  SetFunction set = nullptr;
  RemoveFunction remove = nullptr;
  GetFunction get = nullptr;
  NextFunction next = nullptr;
};
Subclassing subclassing;
constexpr UINT_PTR kSubclassId = 1;

// Whether the common controls have all four; looked up until they do.
bool SubclassingFound() {
  if (subclassing.next == nullptr) {
    const HMODULE comctl32 = GetModuleHandleW(L"comctl32.dll");
    subclassing = {FunctionIn<Subclassing::SetFunction>(comctl32, "SetWindowSubclass"),
                   FunctionIn<Subclassing::RemoveFunction>(comctl32, "RemoveWindowSubclass"),
                   FunctionIn<Subclassing::GetFunction>(comctl32, "GetWindowSubclass"),
                   FunctionIn<Subclassing::NextFunction>(comctl32, "DefSubclassProc")};
  }
  return subclassing.set != nullptr && subclassing.remove != nullptr &&
         subclassing.get != nullptr && subclassing.next != nullptr;
}

LRESULT CALLBACK AccessibleControlProcedure(HWND control, UINT message, WPARAM wparam,
                                            LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  const auto* set_up = reinterpret_cast<const SetUp*>(data);
  if (message == WM_GETOBJECT) {
    const auto object = static_cast<LONG>(lparam);
    LRESULT answer = 0;
    if (object == OBJID_CLIENT) {
      answer = AnswerObjectRequest(control, *set_up, wparam);
    } else if (object == uia::kRootObjectId) {
      answer = AnswerAutomationRequest(control, set_up->kind, set_up->name, wparam, lparam);
    }
    if (answer != 0) {
      return answer;
    }
  } else if (message == WM_NCDESTROY) {
    ForgetAutomationAnswers(control);
    subclassing.remove(control, &AccessibleControlProcedure, kSubclassId);
    delete set_up;
  }
  return subclassing.next(control, message, wparam, lparam);
}

}  // namespace

HRESULT WrapAccessible(HWND control, AccessibleKind kind, const wchar_t* name, IAccessible* system,
                       IAccessible** wrapped) {
  if (system == nullptr || wrapped == nullptr) {
    return E_POINTER;
  }
  *wrapped = new (std::nothrow) ControlAccessible(control, {kind, name}, system);
  return *wrapped == nullptr ? E_OUTOFMEMORY : S_OK;
}

void ReportChannelMoved(HWND bar, int from, int to) {
  DWORD_PTR data = 0;
  if (subclassing.get != nullptr &&
      subclassing.get(bar, &AccessibleControlProcedure, kSubclassId, &data)) {
    const auto& set_up = *reinterpret_cast<const SetUp*>(data);
    RaiseValueChanged(bar, set_up.kind, set_up.name, from, to);
  }
}

bool ClickLater(HWND control) {
  const HWND window = IsWindow(control) ? GetParent(control) : nullptr;
  return window != nullptr &&
         PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), STN_CLICKED),
                      reinterpret_cast<LPARAM>(control));
}

bool MakeAccessible(HWND control, AccessibleKind kind, const wchar_t* name) {
  std::unique_ptr<SetUp> set_up{new (std::nothrow) SetUp{kind, name}};
  if (!set_up || !SubclassingFound() ||
      !subclassing.set(control, &AccessibleControlProcedure, kSubclassId,
                       reinterpret_cast<DWORD_PTR>(set_up.get()))) {
    return false;
  }
  set_up.release();  // the subclass holds it until WM_NCDESTROY
  return true;
}
