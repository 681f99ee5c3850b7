// What the window's thread does while a call to the messenger goes
// unanswered: the thread's COM message filter. After a few seconds it tells
// the user that the messenger is not answering, who may keep waiting or stop;
// a program that is closing stops without asking.
#pragma once

#include <windows.h>
#include <objidl.h>

class UnansweredCallFilter final : public IMessageFilter {
 public:
  static constexpr DWORD kPatienceMs = 5000;

  UnansweredCallFilter() = default;
  UnansweredCallFilter(const UnansweredCallFilter&) = delete;
  UnansweredCallFilter& operator=(const UnansweredCallFilter&) = delete;

  // Makes this the thread's message filter until Revoke.
  [[nodiscard]] HRESULT Register();
  void Revoke() noexcept;

  // COM's wait for an answer wakes only for messages: while a Watch lives,
  // the thread gets one every few hundred milliseconds, so the filter sees
  // the time pass. Once patience runs out, a watch made with an owner asks
  // the user in a box owned by it (null: a box of its own); one made with an
  // exit code ends the program with it, asking nobody.
  class Watch {
   public:
    Watch(UnansweredCallFilter& filter, HWND owner);
    Watch(UnansweredCallFilter& filter, int exit_code);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

   private:
    void Start(UnansweredCallFilter& filter);

    HANDLE timer_ = nullptr;
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
  // Returns to go on waiting for a call that began elapsed_ms ago; when the
  // user stops (or nobody can be asked), the program ends here instead.
  void WaitOrEnd(DWORD elapsed_ms);

  IMessageFilter* previous_ = nullptr;
  bool registered_ = false;
  bool ask_ = true;
  HWND owner_ = nullptr;
  int exit_code_ = 0;
  DWORD next_question_ms_ = kPatienceMs;
};
