#include "standin/class_factory.h"

#include "standin/messenger_object.h"
#include "standin/server.h"

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  if (outer != nullptr) {
    return CLASS_E_NOAGGREGATION;
  }
  auto* messenger = new (std::nothrow) MessengerObject;
  if (messenger == nullptr) {
    return E_OUTOFMEMORY;
  }
  const HRESULT status = messenger->QueryInterface(iid, object);
  messenger->Release();
  return status;
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) {
  Server::Instance().LockServer(lock != FALSE);
  return S_OK;
}
