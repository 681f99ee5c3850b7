#include "messenger/messenger_link.h"

#include <memory>

#include "failure/failure.h"
#include "messenger/event_sink.h"
#include "messenger/messenger_ids.h"

using Microsoft::WRL::ComPtr;

namespace {

struct VariantClearer {
  void operator()(VARIANT* value) const noexcept { VariantClear(value); }
};

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

HRESULT MessengerLink::Open() {
  Close();
  ComPtr<IDispatch> messenger;
  // Only the messenger's own process may answer: an in-process server
  // registered for its class by anyone else is never loaded. And IDispatch,
  // which every Windows marshals in both registry views, is all the link
  // uses: a 64-bit Tintwell needs nothing that a 32-bit messenger registered
  // in its own view alone.
  HRESULT status = CoCreateInstance(messenger_ids::kMessengerClass, nullptr, CLSCTX_LOCAL_SERVER,
                                    IID_IDispatch,
                                    reinterpret_cast<void**>(messenger.GetAddressOf()));
  if (FAILED(status)) {
    return status;
  }
  LPOLESTR name = const_cast<LPOLESTR>(messenger_ids::kSigninNameProperty);
  DISPID signin_name_id = DISPID_UNKNOWN;
  status = messenger->GetIDsOfNames(messenger_ids::kNoInterface, &name, 1, LOCALE_USER_DEFAULT, &signin_name_id);
  if (FAILED(status)) {
    return status;
  }
  ComPtr<IConnectionPointContainer> container;
  status = messenger.As(&container);
  if (FAILED(status)) {
    return status;
  }
  ComPtr<IConnectionPoint> events;
  status = container->FindConnectionPoint(messenger_ids::kMessengerEvents, &events);
  if (FAILED(status)) {
    return status;
  }
  ComPtr<IDispatch> sink;
  sink.Attach(new EventSink);
  DWORD cookie = 0;
  status = events->Advise(sink.Get(), &cookie);
  if (FAILED(status)) {
    return status;
  }
  messenger_ = std::move(messenger);
  events_ = std::move(events);
  cookie_ = cookie;
  signin_name_id_ = signin_name_id;
  if (status = filter_.Register(); FAILED(status)) {
    Close();
  }
  return status;
}

std::wstring MessengerLink::SigninName(HWND owner) const {
  if (!messenger_) {
    throw FailureFromHresult(CO_E_OBJNOTCONNECTED);
  }
  const UnansweredCallFilter::Watch watch{filter_, owner};
  DISPPARAMS no_arguments{};
  VARIANT result;
  VariantInit(&result);
  const std::unique_ptr<VARIANT, VariantClearer> result_owner{&result};
  EXCEPINFO exception{};
  const HRESULT status =
      messenger_->Invoke(signin_name_id_, messenger_ids::kNoInterface, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                         &no_arguments, &result, &exception, nullptr);
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
    const UnansweredCallFilter::Watch watch{filter_, exit_code_if_hung};
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
