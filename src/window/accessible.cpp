#include "window/accessible.h"

#include <oleacc.h>
#include <wrl/client.h>

#include <memory>
#include <new>
#include <utility>

#include "window/function_in.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kSetUpProperty[] = L"TintwellAccessible";

// What a control was set up with: its own window procedure and the object's kind.
struct SetUp {
  WNDPROC original;
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

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The system's object for the control, with the program's answers where it
// has them. It holds only the control's handle: a screen reader may keep it
// after the window is gone, when its own answers fail and the system's say so.
class ControlAccessible final : public IAccessible {
 public:
  ControlAccessible(HWND control, const SetUp& set_up, ComPtr<IAccessible> system)
      : control_(control), kind_(set_up.kind), name_(set_up.name), system_(std::move(system)) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    *object = nullptr;
    if (id != __uuidof(IUnknown) && id != __uuidof(IDispatch) && id != __uuidof(IAccessible)) {
      return E_NOINTERFACE;
    }
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) {
      delete this;
    }
    return static_cast<ULONG>(left);
  }

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
    SCROLLINFO position{sizeof position, SIF_POS, 0, 0, 0, 0, 0};
    if (!IsWindow(control_) || !GetScrollInfo(control_, SB_CTL, &position)) {
      return CO_E_OBJNOTCONNECTED;
    }
    wchar_t number[12] = {};
    wsprintfW(number, L"%d", position.nPos);
    return Text(number, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return system_->get_accDescription(child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child) || kind_ != AccessibleKind::kButton) {
      return system_->get_accRole(child, role);
    }
    if (role == nullptr) {
      return E_POINTER;
    }
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_PUSHBUTTON;
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
    // Posted, as a click is: the screen reader is answered at once, and the
    // click is handled from the window's own queue like the user's.
    const HWND window = IsWindow(control_) ? GetParent(control_) : nullptr;
    return window != nullptr &&
                   PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control_), STN_CLICKED),
                                reinterpret_cast<LPARAM>(control_))
               ? S_OK
               : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return system_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return system_->put_accValue(child, value);
  }

 private:
  ~ControlAccessible() = default;

  LONG references_ = 1;
  const HWND control_;
  const AccessibleKind kind_;
  const wchar_t* const name_;
  const ComPtr<IAccessible> system_;
};

// The object for a WM_GETOBJECT, or 0 to let the control answer as usual.
LRESULT AnswerObjectRequest(HWND control, const SetUp& set_up, WPARAM flags) {
  const HMODULE library = SystemLibrary(L"oleacc.dll");
  using CreateFunction = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
  using LresultFunction = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  const auto create = FunctionIn<CreateFunction>(library, "CreateStdAccessibleObject");
  const auto lresult = FunctionIn<LresultFunction>(library, "LresultFromObject");
  ComPtr<IAccessible> system;
  if (create == nullptr || lresult == nullptr ||
      FAILED(create(control, OBJID_CLIENT, __uuidof(IAccessible), &system))) {
    return 0;
  }
  ComPtr<IAccessible> object;
  object.Attach(new (std::nothrow) ControlAccessible(control, set_up, std::move(system)));
  if (!object) {
    return 0;
  }
  const LRESULT answer = lresult(__uuidof(IAccessible), flags, object.Get());
  return answer > 0 ? answer : 0;
}

LRESULT CALLBACK AccessibleControlProcedure(HWND control, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  const auto* set_up = static_cast<const SetUp*>(GetPropW(control, kSetUpProperty));
  if (set_up == nullptr) {
    return DefWindowProcW(control, message, wparam, lparam);
  }
  const WNDPROC original = set_up->original;
  if (message == WM_GETOBJECT && static_cast<LONG>(lparam) == OBJID_CLIENT) {
    if (const LRESULT answer = AnswerObjectRequest(control, *set_up, wparam)) {
      return answer;
    }
  } else if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    const std::unique_ptr<const SetUp> gone{
        static_cast<const SetUp*>(RemovePropW(control, kSetUpProperty))};
  }
  return CallWindowProcW(original, control, message, wparam, lparam);
}

}  // namespace

bool MakeAccessible(HWND control, AccessibleKind kind, const wchar_t* name) {
  std::unique_ptr<SetUp> set_up{new (std::nothrow) SetUp{nullptr, kind, name}};
  if (!set_up || !SetPropW(control, kSetUpProperty, set_up.get())) {
    return false;
  }
  set_up->original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AccessibleControlProcedure)));
  if (set_up->original == nullptr) {
    RemovePropW(control, kSetUpProperty);
    return false;
  }
  set_up.release();  // the control's property holds it until WM_NCDESTROY
  return true;
}
