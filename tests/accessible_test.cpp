// What assistive technology is told of the window's controls, made by the
// program's own code in a window of this process and asked here: Wine hands
// no accessible object from one process to another, and no Wine has UI
// Automation's client calls for patterns, so the elements' patterns are
// called here as UI Automation calls them.
#include <gtest/gtest.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "window/automation.h"
#include "window/design.h"
#include "window/look.h"

using Microsoft::WRL::ComPtr;

namespace {

std::vector<std::pair<UINT, WPARAM>> requests;  // the clicks and scrolls that reached the window

LRESULT CALLBACK RecordRequests(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND || message == WM_HSCROLL) {
    requests.emplace_back(message, wparam);
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
void DeliverPosted() {
  for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
    DispatchMessageW(&message);
  }
}

// The text an object gave in text, or what went wrong.
std::wstring Said(HRESULT status, BSTR* text) {
  const std::wstring said = SUCCEEDED(status) && *text != nullptr ? *text : L"(failed)";
  SysFreeString(std::exchange(*text, nullptr));
  return said;
}

// The window's controls, as the program makes them, in a window of the test's.
class AccessibleTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    LoadLibraryW(L"comctl32.dll");  // as the program's start does
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &RecordRequests;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"AccessibleTest";
    RegisterClassW(&window_class);
    window_ = CreateWindowExW(0, L"AccessibleTest", L"", WS_POPUP, 0, 0, 300, 90, nullptr, nullptr,
                              window_class.hInstance, nullptr);
    CreateControls(window_);
    SetScrollPos(Control(design::kGreen), SB_CTL, 128, TRUE);
    requests.clear();
  }
  void TearDown() override {
    DestroyWindow(window_);
    CoUninitialize();
  }
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  ComPtr<IAccessible> Object(int id) const {
    ComPtr<IAccessible> found;
    EXPECT_HRESULT_SUCCEEDED(
        AccessibleObjectFromWindow(Control(id), OBJID_CLIENT, IID_PPV_ARGS(&found)));
    return found;
  }
  HWND window_ = nullptr;
};

VARIANT Self() {
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}

// Each bar a slider named after its channel, its number as its value and
// its range as its description, also for a client that names the object
// itself by reference or leaves the child out; the sample text by a name of
// its own; "Change" a push button whose action is a click; the system's
// other interfaces passed on; objects held once the window is gone fail.
TEST_F(AccessibleTest, MsaaClientsHearSlidersTheSampleAndAButton) {
  BSTR text = nullptr;
  VARIANT role{};
  VARIANT self = Self();
  for (const auto& [id, name, number] : {std::tuple{design::kRed, L"Red", L"0"},
                                         {design::kGreen, L"Green", L"128"},
                                         {design::kBlue, L"Blue", L"0"}}) {
    const ComPtr<IAccessible> bar = Object(id);
    EXPECT_EQ(Said(bar->get_accName(self, &text), &text), name);
    EXPECT_EQ(Said(bar->get_accValue(self, &text), &text), number);
    EXPECT_EQ(Said(bar->get_accDescription(self, &text), &text), L"0 to 255");
    EXPECT_HRESULT_SUCCEEDED(bar->get_accRole(self, &role));
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_SLIDER) << id;
  }
  ComPtr<IAccessible> green = Object(design::kGreen);
  VARIANT by_reference{};
  by_reference.vt = VT_BYREF | VT_VARIANT;
  by_reference.pvarVal = &self;
  VARIANT left_out{};
  left_out.vt = VT_ERROR;
  left_out.scode = DISP_E_PARAMNOTFOUND;
  for (const VARIANT& child : {VARIANT{}, by_reference, left_out}) {
    EXPECT_EQ(Said(green->get_accName(child, &text), &text), L"Green") << child.vt;
  }
  ComPtr<IOleWindow> window;
  HWND answered = nullptr;
  ASSERT_HRESULT_SUCCEEDED(green.As(&window)) << "the system's object has it";
  EXPECT_HRESULT_SUCCEEDED(window->GetWindow(&answered));
  EXPECT_EQ(answered, Control(design::kGreen));
  EXPECT_EQ(Said(Object(design::kText1)->get_accName(self, &text), &text), L"Sample text");

  ComPtr<IAccessible> change = Object(design::kLabel4);
  EXPECT_HRESULT_SUCCEEDED(change->get_accRole(self, &role));
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(Said(change->get_accDefaultAction(self, &text), &text), L"Press");
  EXPECT_EQ(Said(change->get_accKeyboardShortcut(self, &text), &text), L"Enter");
  EXPECT_HRESULT_SUCCEEDED(change->accDoDefaultAction(self));
  DeliverPosted();
  EXPECT_EQ(requests, (decltype(requests){{WM_COMMAND, MAKEWPARAM(design::kLabel4, STN_CLICKED)}}));

  DestroyWindow(window_);
  EXPECT_EQ(Said(green->get_accValue(self, &text), &text), L"(failed)");
  EXPECT_EQ(Said(green->get_accName(self, &text), &text), L"(failed)");
  EXPECT_HRESULT_FAILED(change->accDoDefaultAction(self));
}

// The system's object for a label, answering as Windows' does (Wine's never
// says read-only). Nothing but its state is asked.
#define NOT_ASKED(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }
struct WindowsLabel : IAccessible {
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT, VARIANT* state) override {
    state->vt = VT_I4;
    state->lVal = STATE_SYSTEM_READONLY | STATE_SYSTEM_UNAVAILABLE;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  NOT_ASKED(QueryInterface, REFIID, void**);
  NOT_ASKED(GetTypeInfoCount, UINT*);
  NOT_ASKED(GetTypeInfo, UINT, LCID, ITypeInfo**);
  NOT_ASKED(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*);
  NOT_ASKED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*);
  NOT_ASKED(get_accParent, IDispatch**);
  NOT_ASKED(get_accChildCount, LONG*);
  NOT_ASKED(get_accChild, VARIANT, IDispatch**);
  NOT_ASKED(get_accName, VARIANT, BSTR*);
  NOT_ASKED(get_accValue, VARIANT, BSTR*);
  NOT_ASKED(get_accDescription, VARIANT, BSTR*);
  NOT_ASKED(get_accRole, VARIANT, VARIANT*);
  NOT_ASKED(get_accHelp, VARIANT, BSTR*);
  NOT_ASKED(get_accHelpTopic, BSTR*, VARIANT, LONG*);
  NOT_ASKED(get_accKeyboardShortcut, VARIANT, BSTR*);
  NOT_ASKED(get_accFocus, VARIANT*);
  NOT_ASKED(get_accSelection, VARIANT*);
  NOT_ASKED(get_accDefaultAction, VARIANT, BSTR*);
  NOT_ASKED(accSelect, LONG, VARIANT);
  NOT_ASKED(accLocation, LONG*, LONG*, LONG*, LONG*, VARIANT);
  NOT_ASKED(accNavigate, LONG, VARIANT, VARIANT*);
  NOT_ASKED(accHitTest, LONG, LONG, VARIANT*);
  NOT_ASKED(accDoDefaultAction, VARIANT);
  NOT_ASKED(put_accName, VARIANT, BSTR);
  NOT_ASKED(put_accValue, VARIANT, BSTR);
};
#undef NOT_ASKED

// A label that acts as a button is not read-only text, whatever else the
// system says of it.
TEST_F(AccessibleTest, ChangeIsNotReadOnlyWhereTheSystemSaysALabelIs) {
  WindowsLabel system;
  ComPtr<IAccessible> change;
  ASSERT_HRESULT_SUCCEEDED(
      WrapAccessible(Control(design::kLabel4), AccessibleKind::kButton, nullptr, &system, &change));
  VARIANT state{};
  ASSERT_HRESULT_SUCCEEDED(change->get_accState(Self(), &state));
  EXPECT_EQ(state.lVal, STATE_SYSTEM_UNAVAILABLE) << "only read-only goes";
}

// The pattern of an element's kind, as UI Automation asks for it: none
// where the kind has not that pattern.
template <typename Provider>
ComPtr<Provider> PatternOf(IRawElementProviderSimple* element, PATTERNID pattern, REFIID id) {
  ComPtr<IUnknown> provider;
  ComPtr<Provider> found;
  EXPECT_HRESULT_SUCCEEDED(element->GetPatternProvider(pattern, &provider));
  if (provider) {
    EXPECT_HRESULT_SUCCEEDED(provider->QueryInterface(id, &found));
  }
  return found;
}

// Each bar a slider of 0 to 255 by steps of 1 and 15, set as the user sets
// it (a committed scroll, rounded to the nearest whole value; NaN or a value
// out of range refused, and nothing sent); the sample's text its value;
// "Change" invoked as it is clicked; elements held once the window is gone
// are no longer there.
TEST_F(AccessibleTest, UiAutomationPatternsSetTheBarsReadTheSampleAndClickChange) {
  ComPtr<IRawElementProviderSimple> green;
  ComPtr<IRawElementProviderSimple> sample;
  ComPtr<IRawElementProviderSimple> change;
  ASSERT_HRESULT_SUCCEEDED(
      NewControlElement(Control(design::kGreen), AccessibleKind::kChannel, L"Green", &green));
  ASSERT_HRESULT_SUCCEEDED(
      NewControlElement(Control(design::kText1), AccessibleKind::kText, L"Sample text", &sample));
  ASSERT_HRESULT_SUCCEEDED(
      NewControlElement(Control(design::kLabel4), AccessibleKind::kButton, nullptr, &change));
  const auto range = PatternOf<uia::RangeValueProvider>(green.Get(), uia::kRangeValuePattern,
                                                        uia::kRangeValueProviderId);
  ASSERT_TRUE(range);
  std::vector<double> read(5, -1);
  BOOL read_only = TRUE;
  range->get_Minimum(&read[0]);
  range->get_Maximum(&read[1]);
  range->get_SmallChange(&read[2]);
  range->get_LargeChange(&read[3]);
  range->get_Value(&read[4]);
  range->get_IsReadOnly(&read_only);
  EXPECT_EQ(read, (std::vector<double>{0, 255, 1, 15, 128})) << "minimum, maximum, steps, value";
  EXPECT_FALSE(read_only);
  for (const double refused : {std::nan(""), -1.0, -0.4, 255.5, 256.0}) {
    EXPECT_EQ(range->SetValue(refused), E_INVALIDARG) << refused;
  }
  EXPECT_HRESULT_SUCCEEDED(range->SetValue(200));
  EXPECT_HRESULT_SUCCEEDED(range->SetValue(127.6));
  EXPECT_FALSE(PatternOf<uia::RangeValueProvider>(sample.Get(), uia::kRangeValuePattern,
                                                  uia::kRangeValueProviderId));

  const auto text =
      PatternOf<uia::ValueProvider>(sample.Get(), uia::kValuePattern, uia::kValueProviderId);
  ASSERT_TRUE(text);
  BSTR value = nullptr;
  EXPECT_EQ(Said(text->get_Value(&value), &value), L"Example text");
  const auto invoke =
      PatternOf<uia::InvokeProvider>(change.Get(), uia::kInvokePattern, uia::kInvokeProviderId);
  ASSERT_TRUE(invoke);
  EXPECT_HRESULT_SUCCEEDED(invoke->Invoke());
  EXPECT_EQ(requests.size(), 2u) << "the click is posted, not sent";
  DeliverPosted();
  EXPECT_EQ(requests, (decltype(requests){{WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 200)},
                                          {WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 128)},
                                          {WM_COMMAND, MAKEWPARAM(design::kLabel4, STN_CLICKED)}}));

  DestroyWindow(window_);
  double gone = 0;
  VARIANT name{};
  EXPECT_EQ(range->get_Value(&gone), uia::kElementNotAvailable);
  EXPECT_EQ(range->SetValue(1), uia::kElementNotAvailable);
  EXPECT_EQ(invoke->Invoke(), uia::kElementNotAvailable);
  EXPECT_EQ(green->GetPropertyValue(uia::kNameProperty, &name), uia::kElementNotAvailable);
}

}  // namespace
