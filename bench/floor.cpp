// The floor that Tintwell is measured against: only what its job cannot
// avoid. It joins the apartment, creates the messenger object and subscribes,
// makes a window of the same size with the same controls, fonts and icons
// (the controls subclassed, as those that answer screen readers must be),
// reads the sign-in name and the account's stored colour and sets the bars to
// it, and shows the window, a bar holding the keyboard focus; a click on the
// Change label reads the sign-in name twice, opens, sets and closes the value
// once and shows one box. No checks, no layout logic, no preview, no watch
// over the messenger.
#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <string>
#include <utility>

#include "messenger/event_sink.h"
#include "messenger/messenger_ids.h"
#include "resource_ids.h"
#include "window/design.h"
#include "window/function_in.h"

namespace {

Microsoft::WRL::ComPtr<IDispatch> messenger;
DISPID signin_name_id = DISPID_UNKNOWN;

std::wstring SigninName() {
  DISPPARAMS none{};
  VARIANT result;
  VariantInit(&result);
  messenger->Invoke(signin_name_id, messenger_ids::kNoInterface, 0, DISPATCH_PROPERTYGET, &none,
                    &result, nullptr, nullptr);
  std::wstring name{V_BSTR(&result), SysStringLen(V_BSTR(&result))};
  VariantClear(&result);
  return name;
}

// What the bars show: the colour read at the start.
BYTE record[4] = {};

HKEY OpenAccountKey(REGSAM access) {
  const std::wstring path =
      L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\" + SigninName();
  const std::string ansi_path{path.begin(), path.end()};
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, ansi_path.c_str(), 0, access, &key);
  return key;
}

void ShowStoredColor(HWND window) {
  const HKEY key = OpenAccountKey(KEY_QUERY_VALUE);
  DWORD size = sizeof record;
  RegQueryValueExA(key, "IM Color", nullptr, nullptr, record, &size);
  RegCloseKey(key);
  for (const int channel : {0, 1, 2}) {
    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_RANGE | SIF_POS;
    bar.nMax = design::kChannelMax;
    bar.nPos = record[channel];
    SetScrollInfo(GetDlgItem(window, design::kRed + channel), SB_CTL, &bar, FALSE);
  }
}

// The design's fonts and the program's icons, at 96 DPI, where the bench runs.
void ShowDesignFontsAndIcons(HWND window, HINSTANCE instance) {
  auto font = [](int weight) {
    return CreateFontW(-MulDiv(design::kFontHundredthsOfPoint, 96, 7200), 0, 0, 0, weight, FALSE,
                       FALSE, FALSE, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, design::kFontFace);
  };
  const HFONT regular = font(FW_NORMAL);
  const HFONT bold = font(FW_BOLD);
  for (const design::Control& control : design::kControls) {
    SendMessageW(GetDlgItem(window, control.id), WM_SETFONT,
                 reinterpret_cast<WPARAM>(control.id == design::kLabel4 ? bold : regular), TRUE);
  }
  for (const auto& [which, metric] : {std::pair{ICON_SMALL, SM_CXSMICON}, {ICON_BIG, SM_CXICON}}) {
    const int size = GetSystemMetrics(metric);
    SendMessageW(window, WM_SETICON, which,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                     IMAGE_ICON, size, size, 0)));
  }
}

// A control that answers screen readers takes every message through a
// subclass of the common controls', as Tintwell's do: under Wine each such
// message costs a call to the server, a cost the job cannot avoid.
using PassOnFunction = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
PassOnFunction pass_on = nullptr;

LRESULT CALLBACK PassOn(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                        DWORD_PTR) {
  return pass_on(control, message, wparam, lparam);
}

void SubclassSpokenControls(HWND window) {
  const HMODULE comctl32 = LoadLibraryW(L"comctl32.dll");
  using SubclassFunction = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
  const auto subclass = FunctionIn<SubclassFunction>(comctl32, "SetWindowSubclass");
  pass_on = FunctionIn<PassOnFunction>(comctl32, "DefSubclassProc");
  for (const int id :
       {design::kRed, design::kGreen, design::kBlue, design::kText1, design::kLabel4}) {
    subclass(GetDlgItem(window, id), &PassOn, 1, 0);
  }
}

void Apply(HWND window) {
  const HKEY key = OpenAccountKey(KEY_WRITE);
  RegSetValueExA(key, "IM Color", 0, REG_BINARY, record, sizeof record);
  RegCloseKey(key);
  const std::wstring text = L"Color has been changed for " + SigninName();
  MessageBoxW(window, text.c_str(), L"Done !", MB_OK | MB_ICONINFORMATION);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && LOWORD(wparam) == design::kLabel4) {
    Apply(window);
    return 0;
  }
  // The keyboard focus on a bar whenever the window is active, as on a form.
  if (message == WM_SETFOCUS) {
    SetFocus(GetDlgItem(window, design::kRed));
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CoCreateInstance(messenger_ids::kMessengerClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                   reinterpret_cast<void**>(messenger.GetAddressOf()));
  LPOLESTR name = const_cast<LPOLESTR>(messenger_ids::kSigninNameProperty);
  messenger->GetIDsOfNames(messenger_ids::kNoInterface, &name, 1, 0, &signin_name_id);
  Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
  messenger.As(&container);
  Microsoft::WRL::ComPtr<IConnectionPoint> events;
  container->FindConnectionPoint(messenger_ids::kMessengerEvents, &events);
  Microsoft::WRL::ComPtr<IDispatch> sink;
  sink.Attach(new EventSink);
  DWORD cookie = 0;
  events->Advise(sink.Get(), &cookie);

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = &Procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"TintwellFloor";
  RegisterClassW(&window_class);
  const HWND window =
      CreateWindowExW(0, L"TintwellFloor", L"Floor", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                      CW_USEDEFAULT, CW_USEDEFAULT, 301, 117, nullptr, nullptr, instance, nullptr);
  for (const design::Control& control : design::kControls) {
    CreateWindowExW(control.ex_style, control.window_class, control.text, control.style,
                    control.left / 15, control.top / 15, control.width / 15, control.height / 15,
                    window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance,
                    nullptr);
  }
  SubclassSpokenControls(window);
  ShowDesignFontsAndIcons(window, instance);
  ShowStoredColor(window);
  ShowWindow(window, SW_SHOWNORMAL);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    DispatchMessageW(&message);
  }
  events->Unadvise(cookie);
  return 0;
}
