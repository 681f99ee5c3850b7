#include "window/form1.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "failure/failure.h"
#include "resources/program.h"
#include "window/accessible.h"
#include "window/design.h"
#include "window/dpi.h"

namespace {

constexpr wchar_t kCaption[] = L"" PROGRAM_TITLE L" - by the Tintwell team";
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// A request that may lead to a call to the messenger, sent by another thread
// or program (a close from "End task", a click from an automation or
// accessibility tool): Windows refuses such a call while the sender waits.
// The sender is answered at once, and the request waits its turn in the
// window's own queue. False when it was not sent so, or could not be queued.
bool QueuedIfSent(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return InSendMessage() && PostMessageW(window, message, wparam, lparam);
}

}  // namespace

template <typename Handler>
void Form1::Guarded(Handler&& handler) {
  const bool outermost = !std::exchange(in_handler_, true);
  if (!RunOrShowFatal(window_, std::forward<Handler>(handler))) {
    exit_code_ = kFatalExitCode;
    close_held_ = true;
  }
  if (outermost) {
    in_handler_ = false;
    if (close_held_ && window_ != nullptr) {
      DestroyWindow(window_);
    }
  }
}

bool Form1::Load(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &Form1::WindowProcedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassExW(&window_class) == 0) {
    ShowFatalError(nullptr, FailureFromLastError());
    exit_code_ = kFatalExitCode;
    return false;
  }
  background_.reset(CreateSolidBrush(design::kBackground));
  if (CreateWindowExW(0, kWindowClass, kCaption, kFrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this) == nullptr) {
    // When the load event ended the start, it has told the user why, or it
    // ended it for a close that was asked for. Anything else means that the
    // window could not be created at all.
    if (exit_code_ == 0 && !close_held_) {
      ShowFatalError(nullptr, FailureFromLastError());
      exit_code_ = kFatalExitCode;
    }
    return false;
  }
  ShowWindow(window_, SW_SHOWNORMAL);
  return true;
}

Form1::~Form1() {
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
}

LRESULT CALLBACK Form1::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->window_ = nullptr;
  }
  return form->HandleMessage(window, message, wparam, lparam);
}

LRESULT Form1::HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_HSCROLL:
      OnHScroll(reinterpret_cast<HWND>(lparam), LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_COMMAND:
      if (!QueuedIfSent(window, message, wparam, lparam)) {
        OnCommand(LOWORD(wparam), HIWORD(wparam));
      }
      return 0;
    case DM_GETDEFID:
      // Enter stores the colour, as a dialog's default button would: from a
      // bar or the sample text, for those who use no mouse.
      return MAKELRESULT(design::kLabel4, DC_HASDEFID);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (const LRESULT brush =
              OnControlColor(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam))) {
        return brush;
      }
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_CLOSE:
      if (!QueuedIfSent(window, message, wparam, lparam)) {
        OnCloseRequest();
      }
      return 0;
    case WM_QUERYENDSESSION:
      // The one value written is written whole or not at all: nothing to
      // protect by refusing a log-off.
      return TRUE;
    case WM_ENDSESSION:
      // The messenger ends with the session, and nothing of the program's
      // is left half-done: it ends at once, without waiting on a messenger
      // that may not answer.
      if (wparam != FALSE) {
        ReplyMessage(0);
        ExitProcess(static_cast<UINT>(exit_code_));
      }
      return 0;
    case WM_ERASEBKGND: return OnEraseBackground(reinterpret_cast<HDC>(wparam));
    case WM_ACTIVATE: OnActivate(LOWORD(wparam)); return 0;
    case WM_SETFOCUS: OnSetFocus(); return 0;
    case kGetDpiScaledSizeMessage:
      *reinterpret_cast<SIZE*>(lparam) = look_.DesignFrame(window, LOWORD(wparam));
      return TRUE;
    case kDpiChangedMessage:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_THEMECHANGED:
    case WM_SETTINGCHANGE: {
      // A new theme, caption height or border width gives the frame another
      // size, which the system has applied once it has had the message.
      const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
      if (look_.laid_out()) {
        Guarded([this] { look_.FitClientArea(window_); });
      }
      return result;
    }
    case WM_SIZE:
      if (wparam == SIZE_RESTORED) {
        Guarded([this] { look_.Restored(window_); });
      }
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_DESTROY: OnDestroy(); return 0;
    default: return DefWindowProcW(window, message, wparam, lparam);
  }
}

bool Form1::OnCreate() {
  // This is the load event. A close asked for while it runs (while the
  // messenger is being reached, or while one of the start's boxes is open) is
  // held until the start is over, and then the window is never shown. A
  // close that was posted meanwhile and still waits in the queue counts the
  // same.
  in_handler_ = true;
  look_.PlanFor(WindowDpi(window_));
  const bool started = OpenAndCreateControls();
  in_handler_ = false;
  MSG close;
  if (PeekMessageW(&close, window_, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    close_held_ = true;
  }
  return started && !close_held_;
}

bool Form1::OpenAndCreateControls() {
  // Without the messenger there is nothing to do.
  if (FAILED(msn_.Open(kNoMessengerExitCode))) {
    ShowBox(nullptr, L"Please log-in to MSN 6 before using this program", L"Error",
            MB_OK | MB_ICONHAND);
    exit_code_ = kNoMessengerExitCode;
    return false;
  }
  if (close_held_) {
    return false;
  }
  const bool created = RunOrShowFatal(nullptr, [this] {
    CreateControls(window_);
    look_.LayOut(window_, look_.dpi());
    // The window opens at the colour the account has now, as the user would
    // go on from it; with none of this program's, at black.
    if (const std::optional<ChannelTriple> stored = ReadStoredColor(msn_, kNoMessengerExitCode)) {
      SetChannelValue(design::kRed, stored->red);
      SetChannelValue(design::kGreen, stored->green);
      SetChannelValue(design::kBlue, stored->blue);
      RefreshPreview();
    }
  });
  if (!created) {
    exit_code_ = kFatalExitCode;
  }
  return created;
}

void Form1::OnHScroll(HWND bar, int request, int thumb_position) {
  const int id = GetDlgCtrlID(bar);
  if (id != design::kRed && id != design::kGreen && id != design::kBlue) {
    return;
  }
  Guarded([&] {
    const int current = ChannelValue(id);
    int value = current;
    switch (request) {
      case SB_LINELEFT: value -= 1; break;
      case SB_LINERIGHT: value += 1; break;
      case SB_PAGELEFT: value -= design::kPageStep; break;
      case SB_PAGERIGHT: value += design::kPageStep; break;
      case SB_LEFT: value = 0; break;
      case SB_RIGHT: value = design::kChannelMax; break;
      // A drag is committed when the thumb is released; while it moves the
      // preview stays as it was.
      case SB_THUMBPOSITION: value = thumb_position; break;
      default: return;
    }
    value = std::clamp(value, 0, design::kChannelMax);
    if (value != current) {
      SetChannelValue(id, value);
      RefreshPreview();
    }
  });
}

void Form1::OnCommand(int id, int notification) {
  // While the messenger is being asked, COM delivers posted messages; a click
  // that arrives then must not start a second apply inside the first.
  if (id == design::kLabel4 && notification == STN_CLICKED && !in_handler_) {
    Guarded([this] { ApplyColor(*this, msn_, window_); });
  }
}

// The brush for the control's background; 0 where the system's default does.
LRESULT Form1::OnControlColor(HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  if (id == design::kText1 && preview_set_) {
    SetTextColor(dc, preview_);
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  if (id == design::kLabel4) {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  if (id == design::kLabel1 || id == design::kLabel2 || id == design::kLabel3) {
    SetBkColor(dc, design::kBackground);
    return reinterpret_cast<LRESULT>(background_.get());
  }
  return 0;
}

void Form1::OnCloseRequest() {
  // A close that arrives while the program starts or applies the colour
  // (from another program, or while a box is open) waits until that is
  // over: the window and the messenger link stay while a call needs them.
  if (in_handler_) {
    close_held_ = true;
  } else {
    DestroyWindow(window_);
  }
}

LRESULT Form1::OnEraseBackground(HDC dc) {
  RECT client{};
  GetClientRect(window_, &client);
  FillRect(dc, &client, background_.get());
  return TRUE;
}

void Form1::OnActivate(int state) {
  // Like a dialog, the window hands the keyboard focus back to the control
  // that had it when the user returns.
  if (state == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus)) {
      focus_ = focus;
    }
  }
}

void Form1::OnSetFocus() {
  SetFocus(focus_ != nullptr && IsWindow(focus_) ? focus_ : Control(design::kRed));
}

void Form1::OnDpiChanged(UINT dpi, const RECT& suggested) {
  // Taken whole, in one move: Windows 10 1703 and later suggest the frame
  // this window asked for at the new DPI. Older ones scale the old frame,
  // which the layout then fits to the design.
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (look_.laid_out()) {
    Guarded([&] { look_.LayOut(window_, dpi); });
  } else {
    look_.PlanFor(dpi);  // the start lays the controls out once it has made them
  }
}

void Form1::OnDestroy() {
  msn_.Close(exit_code_);
  PostQuitMessage(exit_code_);
}

void Form1::RefreshPreview() {
  preview_ = PackPreviewColor(ReadChannels());
  preview_set_ = true;
  const HWND text1 = Control(design::kText1);
  if (!InvalidateRect(text1, nullptr, TRUE)) {
    throw FailureFromLastError();
  }
  // Painted at once, so the colour shows before any box that follows.
  UpdateWindow(text1);
}

ChannelTriple Form1::ReadChannels() {
  return {ChannelValue(design::kRed), ChannelValue(design::kGreen), ChannelValue(design::kBlue)};
}

void Form1::SetGreen(std::int16_t green) {
  SetChannelValue(design::kGreen, green);
  RefreshPreview();
}

std::int16_t Form1::ChannelValue(int id) const {
  SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(Control(id), SB_CTL, &info)) {
    throw FailureFromLastError();
  }
  return static_cast<std::int16_t>(info.nPos);
}

void Form1::SetChannelValue(int id, int value) {
  const int before = ChannelValue(id);
  SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, value, 0};
  SetScrollInfo(Control(id), SB_CTL, &info, TRUE);
  if (ChannelValue(id) != value) {
    throw FailureFromHresult(E_FAIL);
  }
  if (before != value) {
    ReportChannelMoved(Control(id), before, value);
  }
}
