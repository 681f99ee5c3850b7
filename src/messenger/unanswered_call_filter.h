// What the window's thread does while a call to the messenger goes
// unanswered or is refused as busy: the thread's COM message filter. After a
// few seconds it tells the user, who may keep waiting or stop; a program that
// is closing stops without asking. Calls it does not watch (made on the
// thread by some other component) get COM's own answers.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <string>

#include "owned.h"
#include "resources/program.h"

class UnansweredCallFilter final : public IMessageFilter {
 public:
  static constexpr DWORD kPatienceMs = 5000;
  // What the boxes that ask say.
  static constexpr wchar_t kNotAnsweringText[] =
      L"The messenger is not answering.\n\n"
      L"Choose Retry to keep waiting for it, or Cancel to stop "
      L"waiting; " PROGRAM_TITLE L" then closes.";
  static constexpr wchar_t kBusyText[] =
      L"The messenger is busy, perhaps because a window is open in it: close that window.\n\n"
      L"Choose Retry to ask the messenger again, or Cancel to stop "
      L"waiting; " PROGRAM_TITLE L" then closes.";

  // How a watched call ends when the user stops waiting for it, or, with
  // nobody to ask, once patience runs out: the program ends with exit_code,
  // after the fatal error box when report is set (note added to its text).
  struct Ending {
    HWND owner = nullptr;  // of the boxes that ask; null: boxes of their own
    bool ask = true;
    int exit_code = 0;
    bool report = false;
    std::wstring note{};
  };

  UnansweredCallFilter() = default;
  UnansweredCallFilter(const UnansweredCallFilter&) = delete;
  UnansweredCallFilter& operator=(const UnansweredCallFilter&) = delete;

  ~UnansweredCallFilter() { Revoke(); }

  // Makes this the thread's message filter until Revoke.
  [[nodiscard]] HRESULT Register();
  void Revoke() noexcept;

  // COM's wait for an answer wakes only for messages: while a Watch lives,
  // the filter's waker sends this thread one every few hundred milliseconds,
  // so that the filter sees the time pass. Starting and ending a watch costs
  // one signal to the waker, which sleeps between calls.
  class Watch {
   public:
    Watch(UnansweredCallFilter& filter, Ending ending);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // A call that the messenger refused as busy is made again by the caller
    // after this returns: a short pause in which the window still paints,
    // or the end of the program when the user stops waiting.
    void PauseWhileBusy();

   private:
    UnansweredCallFilter& filter_;
    DWORD started_ = GetTickCount();
  };

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD type, HTASK caller, DWORD tick_count,
                                             INTERFACEINFO* info) override;
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tick_count,
                                            DWORD reject_type) override;
  DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tick_count,
                                         DWORD pending_type) override;

 private:
  enum class Trouble { kNotAnswering, kBusy };

  // Returns to go on waiting for a call that began elapsed_ms ago; when the
  // user stops (or nobody can be asked), the program ends here instead.
  void WaitOrEnd(DWORD elapsed_ms, Trouble trouble);
  [[noreturn]] void End(Trouble trouble);
  static DWORD WINAPI WakeCaller(void* filter);

  Microsoft::WRL::ComPtr<IMessageFilter> previous_;
  bool registered_ = false;
  // The waker: a thread that waits for a watched call to start, then wakes
  // the caller's thread until the call is over.
  Owned<HANDLE, CloseHandle> waker_;
  Owned<HANDLE, CloseHandle> call_started_;  // auto-reset
  Owned<HANDLE, CloseHandle> quit_;          // manual-reset
  DWORD caller_ = 0;
  volatile LONG call_under_way_ = 0;
  Ending ending_;
  DWORD next_question_ms_ = kPatienceMs;
};
