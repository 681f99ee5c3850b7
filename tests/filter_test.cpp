// The program's message filter, called as Windows' COM calls it: Wine's own
// waits hide what these calls decide (Wine ignores a server's busy refusal,
// and hands the user's input to the window while a call waits).
#include <gtest/gtest.h>

#include "failure/failure.h"
#include "messenger/unanswered_call_filter.h"
#include "support/message_boxes.h"

namespace {

constexpr DWORD kCancel = static_cast<DWORD>(-1);
constexpr DWORD kPatience = UnansweredCallFilter::kPatienceMs;
constexpr DWORD kWaitAsUsual = PENDINGMSG_WAITDEFPROCESS;

// Every box is answered Retry after a pause in which keys queued for it
// would have answered it first. A Cancel would end this program with 3.
class FilterTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_HRESULT_SUCCEEDED(filter_.Register());
  }
  void TearDown() override {
    filter_.Revoke();
    CoUninitialize();
  }
  // A busy refusal is retried after a short delay, not cancelled, nor at once.
  void ExpectRetried(DWORD elapsed) {
    const DWORD delay = filter_.RetryRejectedCall(nullptr, elapsed, SERVERCALL_RETRYLATER);
    EXPECT_GE(delay, 100u) << elapsed;
    EXPECT_LT(delay, 1000u) << elapsed;
  }

  UnansweredCallFilter filter_;
  MessageBoxWatcher boxes_{GetCurrentProcessId(), [](const SeenBox& box) {
                             Sleep(300);
                             return box.buttons == 1 ? IDOK : IDRETRY;
                           }};
};

// Busy as Windows reports it: retried without a word until the patience is
// over, then the busy box; Retry gives a whole new patience. A call refused
// for good fails at once. A call that the program does not watch (made on
// the window's thread by an input method, say) gets COM's own answers,
// however long it waits.
TEST_F(FilterTest, ABusyMessengerIsAskedAgainAndTheUserAfterThePatience) {
  EXPECT_EQ(filter_.MessagePending(nullptr, 60000, PENDINGTYPE_TOPLEVEL), kWaitAsUsual);
  EXPECT_EQ(filter_.RetryRejectedCall(nullptr, 60000, SERVERCALL_RETRYLATER), kCancel);

  const UnansweredCallFilter::Watch watch{filter_, {.exit_code = 3}};
  ExpectRetried(kPatience - 100);
  EXPECT_EQ(filter_.RetryRejectedCall(nullptr, 60000, SERVERCALL_REJECTED), kCancel);
  EXPECT_TRUE(boxes_.Seen(1, 500).empty());

  const ULONGLONG asked = GetTickCount64();
  ExpectRetried(kPatience);
  const auto answered = static_cast<DWORD>(kPatience + GetTickCount64() - asked);
  ExpectRetried(answered + kPatience - 500);
  EXPECT_EQ(boxes_.Seen(2, 500), std::vector{AskingBox(true, nullptr)});
  ExpectRetried(answered + kPatience);
  EXPECT_EQ(boxes_.Seen(2), std::vector(2, AskingBox(true, nullptr)));
}

// Keys typed while the call waited stay queued on Windows: an Enter (or an
// Esc) must not answer the box that opens after the patience, nor the box
// that tells what came of the call (shown the same way as the fatal one).
TEST_F(FilterTest, KeysQueuedDuringTheCallDoNotAnswerTheBox) {
  const HWND window = CreateWindowExW(0, L"BUTTON", L"", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40,
                                      nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  auto queue_enter = [window] {
    SetFocus(window);
    keybd_event(VK_RETURN, 0, 0, 0);
    keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
    return GetTickCount64();
  };

  const UnansweredCallFilter::Watch watch{filter_, {.owner = window, .exit_code = 3}};
  ULONGLONG asked = queue_enter();
  EXPECT_EQ(filter_.MessagePending(nullptr, kPatience, PENDINGTYPE_TOPLEVEL), kWaitAsUsual);
  EXPECT_GE(GetTickCount64() - asked, 300u) << "the box did not wait for the test's Retry";
  asked = queue_enter();
  ShowFatalError(window, {E_FAIL, L"Unspecified error"});
  EXPECT_GE(GetTickCount64() - asked, 300u) << "the box did not wait for the test's OK";
  const std::vector<SeenBox> seen = boxes_.Seen(2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], AskingBox(false, window));
  DestroyWindow(window);
}

}  // namespace
