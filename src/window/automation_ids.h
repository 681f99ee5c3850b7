// What the program uses of UI Automation beyond the element provider itself,
// declared here: not every mingw-w64 release has it (Debian 12's declares
// neither the pattern providers nor the control types, and its API header
// does not compile as C++). The numbers and identifiers are UI Automation's.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <uiautomationcore.h>

namespace uia {

inline constexpr LONG kRootObjectId = -25;  // WM_GETOBJECT's object for UI Automation
inline constexpr HRESULT kElementNotEnabled = static_cast<HRESULT>(0x80040200);
inline constexpr HRESULT kElementNotAvailable = static_cast<HRESULT>(0x80040201);

enum Pattern : PATTERNID {
  kInvokePattern = 10000,
  kValuePattern = 10002,
  kRangeValuePattern = 10003,
};

enum Property : PROPERTYID {
  kControlTypeProperty = 30003,
  kNameProperty = 30005,
  kAcceleratorKeyProperty = 30006,
  kIsKeyboardFocusableProperty = 30009,
  kValueValueProperty = 30045,
  kRangeValueValueProperty = 30047,
  kRangeValueMinimumProperty = 30049,
  kRangeValueMaximumProperty = 30050,
  kRangeValueLargeChangeProperty = 30051,
  kRangeValueSmallChangeProperty = 30052,
};

enum ControlType : LONG {
  kButtonControl = 50000,
  kEditControl = 50004,
  kSliderControl = 50015,
};

struct RangeValueProvider : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetValue(double value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(double* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Maximum(double* maximum) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Minimum(double* minimum) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LargeChange(double* change) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SmallChange(double* change) = 0;
};
inline constexpr IID kRangeValueProviderId = {
    0x36dc7aef, 0x33e6, 0x4691, {0xaf, 0xe1, 0x2b, 0xe7, 0x27, 0x4b, 0x3d, 0x33}};

struct ValueProvider : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) = 0;
};
inline constexpr IID kValueProviderId = {
    0xc7935180, 0x6fb3, 0x4201, {0xb1, 0x74, 0x7d, 0xf7, 0x3a, 0xdb, 0xf6, 0x4a}};

struct InvokeProvider : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke() = 0;
};
inline constexpr IID kInvokeProviderId = {
    0x54fcb24b, 0xe18e, 0x47a2, {0xb4, 0xd3, 0xec, 0xcb, 0xe7, 0x75, 0x99, 0xa2}};

// uiautomationcore.dll's functions, looked up when a client first asks.
using ReturnRawElementProviderFunction = LRESULT(WINAPI*)(HWND, WPARAM, LPARAM,
                                                          IRawElementProviderSimple*);
using HostProviderFromHwndFunction = HRESULT(WINAPI*)(HWND, IRawElementProviderSimple**);
using ClientsAreListeningFunction = BOOL(WINAPI*)();
using RaisePropertyChangedFunction = HRESULT(WINAPI*)(IRawElementProviderSimple*, PROPERTYID,
                                                      VARIANT, VARIANT);

}  // namespace uia
