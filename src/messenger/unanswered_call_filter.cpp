#include "messenger/unanswered_call_filter.h"

#include "failure/failure.h"
#include "resources/program.h"

namespace {

constexpr DWORD kWakeUpMs = 250;
constexpr DWORD kRetryRejectedMs = 250;
constexpr DWORD kCancel = static_cast<DWORD>(-1);

constexpr wchar_t kNotAnswering[] =
    L"The messenger is not answering.\n\n"
    L"Choose Retry to keep waiting for it, or Cancel to stop waiting; "
    PROGRAM_TITLE L" then closes.";

void CALLBACK WakeUp(void* thread, BOOLEAN) {
  PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(thread)), WM_NULL, 0, 0);
}

}  // namespace

HRESULT UnansweredCallFilter::Register() {
  const HRESULT status = CoRegisterMessageFilter(this, &previous_);
  registered_ = SUCCEEDED(status);
  return status;
}

void UnansweredCallFilter::Revoke() noexcept {
  if (registered_) {
    IMessageFilter* ours = nullptr;
    CoRegisterMessageFilter(previous_, &ours);
    if (previous_ != nullptr) {
      previous_->Release();  // the thread holds it again
    }
    previous_ = nullptr;
    registered_ = false;
  }
}

UnansweredCallFilter::Watch::Watch(UnansweredCallFilter& filter, HWND owner) {
  filter.ask_ = true;
  filter.owner_ = owner;
  Start(filter);
}

UnansweredCallFilter::Watch::Watch(UnansweredCallFilter& filter, int exit_code) {
  filter.ask_ = false;
  filter.exit_code_ = exit_code;
  Start(filter);
}

void UnansweredCallFilter::Watch::Start(UnansweredCallFilter& filter) {
  filter.next_question_ms_ = kPatienceMs;
  const auto thread = reinterpret_cast<void*>(static_cast<UINT_PTR>(GetCurrentThreadId()));
  // Without the wake-ups a hung call is never noticed; with them missing the
  // program merely waits as it would without a filter.
  if (!CreateTimerQueueTimer(&timer_, nullptr, &WakeUp, thread, kWakeUpMs, kWakeUpMs,
                             WT_EXECUTEINTIMERTHREAD)) {
    timer_ = nullptr;
  }
}

UnansweredCallFilter::Watch::~Watch() {
  if (timer_ != nullptr) {
    DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
  }
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

DWORD STDMETHODCALLTYPE UnansweredCallFilter::RetryRejectedCall(HTASK, DWORD tick_count,
                                                                DWORD reject_type) {
  if (reject_type != SERVERCALL_RETRYLATER) {
    return kCancel;
  }
  // A busy messenger is asked again, with the same patience as a silent one.
  WaitOrEnd(tick_count);
  return kRetryRejectedMs;
}

DWORD STDMETHODCALLTYPE UnansweredCallFilter::MessagePending(HTASK, DWORD tick_count, DWORD) {
  WaitOrEnd(tick_count);
  // Painting goes on; input waits until the call is over.
  return PENDINGMSG_WAITDEFPROCESS;
}

void UnansweredCallFilter::WaitOrEnd(DWORD elapsed_ms) {
  if (elapsed_ms < next_question_ms_) {
    return;
  }
  if (!ask_) {
    ExitProcess(static_cast<UINT>(exit_code_));
  }
  const DWORD asked = GetTickCount();
  if (MessageBoxW(owner_, kNotAnswering, kProgramTitle, MB_RETRYCANCEL | MB_ICONEXCLAMATION) ==
      IDRETRY) {
    next_question_ms_ = elapsed_ms + (GetTickCount() - asked) + kPatienceMs;
    return;
  }
  // The call cannot be taken back on every system (Wine ignores a cancelled
  // call), and the program ends after it anyway: it ends here, with the box
  // of any failed call. A colour not yet stored stays unstored.
  ShowFatalError(owner_, {RPC_E_CALL_CANCELED,
                          L"The messenger did not answer, and waiting for it was stopped."});
  ExitProcess(kFatalExitCode);
}
