#include "standin/messenger_object.h"

#include <olectl.h>

#include "messenger/messenger_ids.h"
#include "standin/server.h"

namespace {

constexpr DISPID kSigninNameId = 1;
constexpr DISPID kNotifyId = 1;

}  // namespace

MessengerObject::MessengerObject() { Server::Instance().Add(this); }

MessengerObject::~MessengerObject() { Server::Instance().Remove(this); }

HRESULT STDMETHODCALLTYPE MessengerObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  IUnknown* found = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == messenger_ids::kMessengerInterface ||
      iid == messenger_ids::kMessengerDefaultInterface) {
    found = static_cast<IMessengerDefault*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    found = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_IConnectionPoint) {
    found = static_cast<IConnectionPoint*>(this);
  }
  return Answer(found, object);
}

HRESULT STDMETHODCALLTYPE MessengerObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) {
    return E_POINTER;
  }
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MessengerObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) {
    *info = nullptr;
  }
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE MessengerObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                                         DISPID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) {
    return E_INVALIDARG;
  }
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
  }
  if (count != 1 || CompareStringOrdinal(names[0], -1, messenger_ids::kSigninNameProperty, -1,
                                         TRUE) != CSTR_EQUAL) {
    return DISP_E_UNKNOWNNAME;
  }
  ids[0] = kSigninNameId;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MessengerObject::Invoke(DISPID id, REFIID, LCID, WORD flags,
                                                  DISPPARAMS* params, VARIANT* result,
                                                  EXCEPINFO* exception, UINT*) {
  if (id != kSigninNameId) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if ((flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if (params != nullptr && params->cArgs != 0) {
    return DISP_E_BADPARAMCOUNT;
  }
  if (Server::Instance().busy()) {
    Server::Instance().CountRefusal();
    return RPC_E_SERVERCALL_RETRYLATER;
  }
  BSTR name = nullptr;
  const HRESULT status = get_MySigninName(&name);
  if (status == kNotSignedIn && exception != nullptr) {
    *exception = {};
    exception->scode = status;
    exception->bstrSource = SysAllocString(L"Messenger");
    exception->bstrDescription = SysAllocString(kNotSignedInDescription);
    return DISP_E_EXCEPTION;
  }
  if (FAILED(status)) {
    return status;
  }
  VariantInit(result);
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = name;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MessengerObject::get_MySigninName(BSTR* name) {
  if (name == nullptr) {
    return E_POINTER;
  }
  *name = nullptr;
  Server::Instance().BeforeNameAnswer();
  const std::optional<std::wstring>& signin_name = Server::Instance().signin_name();
  if (!signin_name) {
    return kNotSignedIn;
  }
  *name = SysAllocStringLen(signin_name->data(), static_cast<UINT>(signin_name->size()));
  return *name == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT STDMETHODCALLTYPE MessengerObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points != nullptr) {
    *points = nullptr;
  }
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE MessengerObject::FindConnectionPoint(REFIID iid,
                                                               IConnectionPoint** point) {
  if (point == nullptr) {
    return E_POINTER;
  }
  if (iid != messenger_ids::kMessengerEvents) {
    *point = nullptr;
    return CONNECT_E_NOCONNECTION;
  }
  *point = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MessengerObject::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) {
    return E_POINTER;
  }
  *iid = messenger_ids::kMessengerEvents;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE
MessengerObject::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) {
    return E_POINTER;
  }
  *container = static_cast<IConnectionPointContainer*>(this);
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MessengerObject::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) {
    return E_POINTER;
  }
  *cookie = 0;
  Server::Instance().BeforeSubscription();
  Microsoft::WRL::ComPtr<IDispatch> events;
  if (FAILED(sink->QueryInterface(messenger_ids::kMessengerEvents,
                                  reinterpret_cast<void**>(events.GetAddressOf())))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = next_cookie_++;
  sinks_.emplace(*cookie, std::move(events));
  Server::Instance().CountSubscription(+1);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MessengerObject::Unadvise(DWORD cookie) {
  Server::Instance().BeforeUnsubscription();
  if (sinks_.erase(cookie) != 1) {
    return CONNECT_E_NOCONNECTION;
  }
  Server::Instance().CountSubscription(-1);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MessengerObject::EnumConnections(IEnumConnections** connections) {
  if (connections != nullptr) {
    *connections = nullptr;
  }
  return E_NOTIMPL;
}

void MessengerObject::Fire() {
  const auto sinks = sinks_;
  for (const auto& [cookie, sink] : sinks) {
    DISPPARAMS no_arguments{};
    sink->Invoke(kNotifyId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &no_arguments, nullptr,
                 nullptr, nullptr);
  }
}
