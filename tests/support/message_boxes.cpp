#include "support/message_boxes.h"

#include "support/screen.h"

#include <algorithm>

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return name;
}

std::wstring TextOf(HWND window) {
  const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// Icon handles are not shared between processes, so a box in another process
// is recognised by comparing what it shows with the system icons drawn here
// on the same background.
std::vector<DWORD> Drawn(LPCWSTR system_icon, COLORREF background, int width, int height) {
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  const HBRUSH brush = CreateSolidBrush(background);
  const RECT area{0, 0, width, height};
  FillRect(memory, &area, brush);
  DeleteObject(brush);
  DrawIconEx(memory, 0, 0, LoadIconW(nullptr, system_icon), 0, 0, 0, nullptr, DI_NORMAL);
  std::vector<DWORD> image = Capture(memory, 0, 0, width, height);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

std::wstring IconShown(HWND icon_control) {
  RECT area{};
  GetWindowRect(icon_control, &area);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  const HDC screen = GetDC(nullptr);
  const std::vector<DWORD> shown = Capture(screen, area.left, area.top, width, height);
  ReleaseDC(nullptr, screen);
  if (shown.empty()) {
    return L"other";
  }
  const DWORD corner = shown.front();
  const COLORREF background = RGB(GetBValue(corner), GetGValue(corner), GetRValue(corner));
  if (shown == Drawn(IDI_HAND, background, width, height)) {
    return L"critical";
  }
  if (shown == Drawn(IDI_ASTERISK, background, width, height)) {
    return L"information";
  }
  if (shown == Drawn(IDI_EXCLAMATION, background, width, height)) {
    return L"warning";
  }
  return L"other";
}

std::wstring IconName(HWND icon_control) {
  if (icon_control == nullptr) {
    return L"none";
  }
  // A box just shown may not have painted its icon yet.
  std::wstring name;
  for (int attempt = 0; attempt < 50 && (name = IconShown(icon_control)) == L"other"; ++attempt) {
    UpdateWindow(icon_control);
    Sleep(5);
  }
  return name;
}

SeenBox Describe(HWND box) {
  SeenBox seen;
  seen.title = TextOf(box);
  seen.owner = GetWindow(box, GW_OWNER);
  HWND icon = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) {
      continue;
    }
    const std::wstring kind = ClassOf(child);
    if (kind == L"Button") {
      ++seen.buttons;
    } else if (kind == L"Static" && GetDlgCtrlID(child) == 0xFFFF) {
      seen.text = TextOf(child);
    } else if (kind == L"Static") {
      if (SendMessageW(child, STM_GETICON, 0, 0) != 0) {
        icon = child;
      }
    }
  }
  seen.icon = IconName(icon);
  return seen;
}

struct Search {
  DWORD process_id;
  std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner_process = 0;
  GetWindowThreadProcessId(window, &owner_process);
  if (owner_process == search->process_id && IsWindowVisible(window) &&
      ClassOf(window) == L"#32770") {
    search->boxes.push_back(window);
  }
  return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(DWORD process_id,
                                     std::function<void(SeenBox&)> on_box)
    : process_id_(process_id), on_box_(std::move(on_box)), stop_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, &MessageBoxWatcher::Watch, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
  Stop();
  CloseHandle(thread_);
  CloseHandle(stop_event_);
  DeleteCriticalSection(&lock_);
}

DWORD WINAPI MessageBoxWatcher::Watch(void* self) {
  auto* watcher = static_cast<MessageBoxWatcher*>(self);
  while (WaitForSingleObject(watcher->stop_event_, 2) == WAIT_TIMEOUT) {
    watcher->CloseNewBoxes();
  }
  return 0;
}

void MessageBoxWatcher::CloseNewBoxes() {
  Search search{process_id_, {}};
  EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&search));
  // A closed box's handle may be given to the next one.
  std::erase_if(handled_, [](HWND box) { return !IsWindow(box); });
  for (HWND box : search.boxes) {
    if (std::find(handled_.begin(), handled_.end(), box) != handled_.end()) {
      continue;
    }
    SeenBox seen = Describe(box);
    if (seen.buttons == 0) {
      continue;  // still being built: look again next round
    }
    handled_.push_back(box);
    if (on_box_) {
      on_box_(seen);
    }
    EnterCriticalSection(&lock_);
    seen_.push_back(std::move(seen));
    LeaveCriticalSection(&lock_);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(seen.press, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, seen.press)));
  }
}

bool MessageBoxWatcher::WaitFor(std::size_t count, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    EnterCriticalSection(&lock_);
    const bool enough = seen_.size() >= count;
    LeaveCriticalSection(&lock_);
    if (enough) {
      return true;
    }
    if (GetTickCount64() >= deadline) {
      return false;
    }
    Sleep(5);
  }
}

std::vector<SeenBox> MessageBoxWatcher::Stop() {
  SetEvent(stop_event_);
  WaitForSingleObject(thread_, INFINITE);
  EnterCriticalSection(&lock_);
  std::vector<SeenBox> seen = seen_;
  LeaveCriticalSection(&lock_);
  return seen;
}
