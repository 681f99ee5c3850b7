#include "support/message_boxes.h"

#include <gtest/gtest.h>

#include "messenger/unanswered_call_filter.h"
#include "support/screen.h"

namespace {

std::wstring TextOf(HWND window) {
  wchar_t text[2048] = {};
  GetWindowTextW(window, text, 2048);
  return text;
}

// Icon handles are not shared between processes, so the icon a box shows is
// recognised by drawing each system icon here on the same background.
std::wstring IconShown(HWND icon) {
  RECT area{};
  GetWindowRect(icon, &area);
  const std::vector<DWORD> shown = CaptureScreen(area);
  Canvas canvas{area.right - area.left, area.bottom - area.top};
  for (const auto& [system_icon, name] :
       {std::pair{IDI_HAND, L"critical"}, std::pair{IDI_ASTERISK, L"information"},
        std::pair{IDI_EXCLAMATION, L"warning"}}) {
    canvas.Show(std::vector<DWORD>(shown.size(), shown.empty() ? 0 : shown.front()));
    DrawIconEx(canvas.dc(), 0, 0, LoadIconW(nullptr, system_icon), 0, 0, 0, nullptr, DI_NORMAL);
    if (canvas.Pixels() == shown) {
      return name;
    }
  }
  return L"other";
}

SeenBox Describe(HWND box) {
  SeenBox seen{TextOf(box), L"", L"none", 0, GetWindow(box, GW_OWNER)};
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) {
      continue;
    }
    if ((SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) != 0) {
      ++seen.buttons;
    } else if (GetDlgCtrlID(child) == 0xFFFF) {
      seen.text = TextOf(child);
    } else if (SendMessageW(child, STM_GETICON, 0, 0) != 0) {
      // A box just shown may not have painted its icon yet.
      for (int i = 0; i < 50 && (seen.icon = IconShown(child)) == L"other"; ++i) {
        Sleep(5);
      }
    }
  }
  return seen;
}

}  // namespace

void PrintTo(const SeenBox& box, std::ostream* out) {
  *out << testing::PrintToString(box.title) << " box, icon " << testing::PrintToString(box.icon)
       << ", " << box.buttons << " button(s), owner " << box.owner << ": "
       << testing::PrintToString(box.text);
}

SeenBox AskingBox(bool busy, HWND owner) {
  return {L"Tintwell",
          busy ? UnansweredCallFilter::kBusyText : UnansweredCallFilter::kNotAnsweringText,
          L"warning", 2, owner};
}

MessageBoxWatcher::MessageBoxWatcher(DWORD process_id, std::function<int(const SeenBox&)> on_box)
    : process_id_(process_id),
      on_box_(std::move(on_box)),
      stop_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, &MessageBoxWatcher::Watch, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
  SetEvent(stop_event_);
  WaitForSingleObject(thread_, INFINITE);
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
  for (HWND box = nullptr; (box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr;) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(box, &process_id);
    if (process_id != process_id_ || !IsWindowVisible(box)) {
      continue;
    }
    const SeenBox seen = Describe(box);
    if (seen.buttons == 0) {
      continue;  // still being built: look again next round
    }
    const int button = on_box_ ? on_box_(seen) : IDOK;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    // Waiting until it is gone also keeps it from being handled twice.
    while (IsWindow(box) && WaitForSingleObject(stop_event_, 2) == WAIT_TIMEOUT) {
    }
    EnterCriticalSection(&lock_);
    seen_.push_back(seen);
    LeaveCriticalSection(&lock_);
  }
}

std::vector<SeenBox> MessageBoxWatcher::Seen(std::size_t count, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;; Sleep(5)) {
    EnterCriticalSection(&lock_);
    const std::vector<SeenBox> seen = seen_;
    LeaveCriticalSection(&lock_);
    if (seen.size() >= count || GetTickCount64() >= deadline) {
      return seen;
    }
  }
}
