#include "messenger/unanswered_call_filter.h"

#include "failure/failure.h"
#include "resources/program.h"

namespace {

constexpr DWORD kWakeUpMs = 250;
constexpr DWORD kRetryRejectedMs = 250;
constexpr DWORD kCancel = static_cast<DWORD>(-1);

}  // namespace

HRESULT UnansweredCallFilter::Register() {
  const HRESULT status = CoRegisterMessageFilter(this, previous_.ReleaseAndGetAddressOf());
  registered_ = SUCCEEDED(status);
  if (!registered_) {
    return status;
  }
  // Without the waker a hung call is never noticed; with it missing the
  // program merely waits as it would without a filter.
  caller_ = GetCurrentThreadId();
  call_started_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  quit_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (call_started_ && quit_) {
    constexpr SIZE_T kStackBytes = 64 * 1024;
    waker_.reset(CreateThread(nullptr, kStackBytes, &WakeCaller, this,
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  }
  return status;
}

void UnansweredCallFilter::Revoke() noexcept {
  if (waker_) {
    SetEvent(quit_.get());
    WaitForSingleObject(waker_.get(), INFINITE);
    waker_.reset();
  }
  call_started_.reset();
  quit_.reset();
  if (registered_) {
    IMessageFilter* ours = nullptr;  // this filter, whose references are not counted
    CoRegisterMessageFilter(previous_.Get(), &ours);
    previous_.Reset();  // the thread holds it again
    registered_ = false;
  }
}

DWORD WINAPI UnansweredCallFilter::WakeCaller(void* context) {
  auto* filter = static_cast<UnansweredCallFilter*>(context);
  const HANDLE started_or_quit[] = {filter->call_started_.get(), filter->quit_.get()};
  while (WaitForMultipleObjects(2, started_or_quit, FALSE, INFINITE) == WAIT_OBJECT_0) {
    while (WaitForSingleObject(filter->quit_.get(), kWakeUpMs) == WAIT_TIMEOUT &&
           filter->call_under_way_ != 0) {
      PostThreadMessageW(filter->caller_, WM_NULL, 0, 0);
    }
  }
  return 0;
}

UnansweredCallFilter::Watch::Watch(UnansweredCallFilter& filter, Ending ending) : filter_(filter) {
  filter.ending_ = std::move(ending);
  filter.next_question_ms_ = kPatienceMs;
  InterlockedExchange(&filter.call_under_way_, 1);
  if (filter.call_started_) {
    SetEvent(filter.call_started_.get());
  }
}

UnansweredCallFilter::Watch::~Watch() { InterlockedExchange(&filter_.call_under_way_, 0); }

void UnansweredCallFilter::Watch::PauseWhileBusy() {
  // As while COM waits for an answer: painting goes on, input waits.
  const DWORD paused = GetTickCount();
  for (DWORD waited = 0; waited < kRetryRejectedMs; waited = GetTickCount() - paused) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kRetryRejectedMs - waited,
                              QS_PAINT | QS_SENDMESSAGE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
      DispatchMessageW(&message);
    }
  }
  filter_.WaitOrEnd(GetTickCount() - started_, Trouble::kBusy);
}

// The filter lives inside its owner, which revokes it before it goes.
HRESULT STDMETHODCALLTYPE UnansweredCallFilter::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
    *object = static_cast<IMessageFilter*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE UnansweredCallFilter::AddRef() { return 2; }

ULONG STDMETHODCALLTYPE UnansweredCallFilter::Release() { return 1; }

DWORD STDMETHODCALLTYPE UnansweredCallFilter::HandleInComingCall(DWORD, HTASK, DWORD,
                                                                 INTERFACEINFO*) {
  return SERVERCALL_ISHANDLED;  // the messenger's events
}

// Calls that the program does not watch (made on this thread by another
// component, an input method say) get COM's own answers: the failure of a
// refused call, and a wait without a word.
DWORD STDMETHODCALLTYPE UnansweredCallFilter::RetryRejectedCall(HTASK, DWORD tick_count,
                                                                DWORD reject_type) {
  if (call_under_way_ == 0 || reject_type != SERVERCALL_RETRYLATER) {
    return kCancel;  // refused for good: the call fails
  }
  // A busy messenger is asked again, with the same patience as a silent one.
  WaitOrEnd(tick_count, Trouble::kBusy);
  return kRetryRejectedMs;
}

DWORD STDMETHODCALLTYPE UnansweredCallFilter::MessagePending(HTASK, DWORD tick_count, DWORD) {
  if (call_under_way_ != 0) {
    WaitOrEnd(tick_count, Trouble::kNotAnswering);
  }
  // Painting goes on; input waits until the call is over.
  return PENDINGMSG_WAITDEFPROCESS;
}

void UnansweredCallFilter::WaitOrEnd(DWORD elapsed_ms, Trouble trouble) {
  if (elapsed_ms < next_question_ms_) {
    return;
  }
  if (!ending_.ask) {
    End(trouble);
  }
  const DWORD asked = GetTickCount();
  if (ShowBox(ending_.owner, trouble == Trouble::kBusy ? kBusyText : kNotAnsweringText,
              kProgramTitle, MB_RETRYCANCEL | MB_ICONEXCLAMATION) == IDRETRY) {
    next_question_ms_ = elapsed_ms + (GetTickCount() - asked) + kPatienceMs;
    return;
  }
  End(trouble);
}

void UnansweredCallFilter::End(Trouble trouble) {
  // The call cannot be taken back on every system (Wine ignores a cancelled
  // call), and the program ends after it anyway: it ends here, with the box
  // of any failed call. A colour not yet stored stays unstored.
  if (ending_.report) {
    Failure failure =
        trouble == Trouble::kBusy
            ? Failure{RPC_E_SERVERCALL_RETRYLATER,
                      L"The messenger stayed busy, and waiting for it was stopped."}
            : Failure{RPC_E_CALL_CANCELED,
                      L"The messenger did not answer, and waiting for it was stopped."};
    AddNote(failure, ending_.note);
    ShowFatalError(ending_.owner, failure);
  }
  ExitProcess(static_cast<UINT>(ending_.exit_code));
}
