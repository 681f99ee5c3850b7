#include "support/message_boxes.h"

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

std::wstring IconName(HICON icon) {
  if (icon == nullptr) {
    return L"none";
  }
  if (icon == LoadIconW(nullptr, IDI_HAND)) {
    return L"critical";
  }
  if (icon == LoadIconW(nullptr, IDI_ASTERISK)) {
    return L"information";
  }
  return L"other";
}

SeenBox Describe(HWND box) {
  SeenBox seen;
  seen.title = TextOf(box);
  seen.owner = GetWindow(box, GW_OWNER);
  HICON icon = nullptr;
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
      if (const auto shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0))) {
        icon = shown;
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

MessageBoxWatcher::MessageBoxWatcher(DWORD process_id)
    : process_id_(process_id), stop_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
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
    EnterCriticalSection(&lock_);
    seen_.push_back(std::move(seen));
    LeaveCriticalSection(&lock_);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
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
