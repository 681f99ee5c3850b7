#include "messenger/messenger_link.h"

#include <utility>

#include "failure/failure.h"
#include "messenger/event_sink.h"
#include "messenger/messenger_ids.h"
#include "owned.h"

using Microsoft::WRL::ComPtr;

namespace {

std::wstring TakeString(BSTR& text) {
  std::wstring taken = text == nullptr ? std::wstring{} : std::wstring{text, SysStringLen(text)};
  SysFreeString(text);
  text = nullptr;
  return taken;
}

// What the messenger said went wrong: its own description when it gave one
// (error objects do not cross processes, the exception record does).
Failure FailureFromException(EXCEPINFO& exception) {
  if (exception.pfnDeferredFillIn != nullptr) {
    exception.pfnDeferredFillIn(&exception);
  }
  TakeString(exception.bstrSource);
  TakeString(exception.bstrHelpFile);
  std::wstring description = TakeString(exception.bstrDescription);
  const HRESULT code = FAILED(exception.scode) ? exception.scode : DISP_E_EXCEPTION;
  Failure failure = FailureFromHresult(code);
  if (!description.empty()) {
    failure.description = std::move(description);
  }
  return failure;
}

}  // namespace

HRESULT MessengerLink::Open(int exit_code_if_stopped) {
  Close();
  // The messenger asks the sink for its event interface, which a 32-bit
  // messenger registers for 32-bit programs alone (64-bit Windows 7 and later
  // keep the two registry views' interfaces apart): this process marshals it
  // with the standard dispatch proxy, whatever its own view holds.
  HRESULT status =
      CoRegisterPSClsid(messenger_ids::kMessengerEvents, messenger_ids::kDispatchProxy);
  if (SUCCEEDED(status)) {
    status = filter_.Register();
  }
  if (FAILED(status)) {
    return status;
  }
  const UnansweredCallFilter::Watch watch{filter_, {.exit_code = exit_code_if_stopped}};
  ComPtr<IDispatch> messenger;
  // Only the messenger's own process may answer: an in-process server
  // registered for its class by anyone else is never loaded. And IDispatch,
  // which every Windows marshals in both registry views, is all the link
  // uses: a 64-bit Tintwell needs nothing that a 32-bit messenger registered
  // in its own view alone.
  status = CoCreateInstance(messenger_ids::kMessengerClass, nullptr, CLSCTX_LOCAL_SERVER,
                            IID_IDispatch, reinterpret_cast<void**>(messenger.GetAddressOf()));
  LPOLESTR name = const_cast<LPOLESTR>(messenger_ids::kSigninNameProperty);
  DISPID signin_name_id = DISPID_UNKNOWN;
  if (SUCCEEDED(status)) {
    status = messenger->GetIDsOfNames(messenger_ids::kNoInterface, &name, 1, LOCALE_USER_DEFAULT,
                                      &signin_name_id);
  }
  ComPtr<IConnectionPointContainer> container;
  if (SUCCEEDED(status)) {
    status = messenger.As(&container);
  }
  ComPtr<IConnectionPoint> events;
  if (SUCCEEDED(status)) {
    status = container->FindConnectionPoint(messenger_ids::kMessengerEvents, &events);
  }
  DWORD cookie = 0;
  if (SUCCEEDED(status)) {
    ComPtr<IDispatch> sink;
    sink.Attach(new EventSink);
    status = events->Advise(sink.Get(), &cookie);
  }
  if (FAILED(status)) {
    filter_.Revoke();
    return status;
  }
  messenger_ = std::move(messenger);
  events_ = std::move(events);
  cookie_ = cookie;
  signin_name_id_ = signin_name_id;
  return S_OK;
}

std::wstring MessengerLink::SigninName(HWND owner, const std::wstring& note) const {
  try {
    return AskSigninName(
        {.owner = owner, .exit_code = kFatalExitCode, .report = true, .note = note});
  } catch (Failure& failure) {
    AddNote(failure, note);
    throw;
  }
}

std::optional<std::wstring> MessengerLink::SigninNameAtStart(int exit_code_if_stopped) const {
  try {
    return AskSigninName({.exit_code = exit_code_if_stopped});
  } catch (const Failure&) {
    return std::nullopt;
  }
}

std::wstring MessengerLink::AskSigninName(UnansweredCallFilter::Ending ending) const {
  if (!messenger_) {
    throw FailureFromHresult(CO_E_OBJNOTCONNECTED);
  }
  UnansweredCallFilter::Watch watch{filter_, std::move(ending)};
  DISPPARAMS no_arguments{};
  VARIANT result;
  VariantInit(&result);
  const Owned<VARIANT*, VariantClear> result_owner{&result};
  EXCEPINFO exception{};
  HRESULT status = S_OK;
  // A busy messenger may refuse the call itself rather than through COM's
  // retry: it is asked again, with the same patience.
  while ((status = messenger_->Invoke(signin_name_id_, messenger_ids::kNoInterface,
                                      LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &no_arguments,
                                      &result, &exception, nullptr)) ==
         RPC_E_SERVERCALL_RETRYLATER) {
    watch.PauseWhileBusy();
  }
  if (status == DISP_E_EXCEPTION) {
    throw FailureFromException(exception);
  }
  if (FAILED(status)) {
    throw FailureFromHresult(status);
  }
  if (const HRESULT converted = VariantChangeType(&result, &result, 0, VT_BSTR);
      FAILED(converted)) {
    throw FailureFromHresult(converted);
  }
  return {V_BSTR(&result), SysStringLen(V_BSTR(&result))};
}

void MessengerLink::Close(int exit_code_if_hung) noexcept {
  if (messenger_) {
    const UnansweredCallFilter::Watch watch{filter_,
                                            {.ask = false, .exit_code = exit_code_if_hung}};
    if (events_ && cookie_ != 0) {
      events_->Unadvise(cookie_);  // fails harmlessly when the messenger is gone
    }
    events_.Reset();
    messenger_.Reset();
  }
  cookie_ = 0;
  signin_name_id_ = DISPID_UNKNOWN;
  filter_.Revoke();
}
