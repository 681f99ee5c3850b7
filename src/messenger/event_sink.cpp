#include "messenger/event_sink.h"

#include "messenger/messenger_ids.h"

HRESULT STDMETHODCALLTYPE EventSink::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  const bool found = iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) ||
                     iid == messenger_ids::kMessengerEvents;
  return Answer(found ? static_cast<IDispatch*>(this) : nullptr, object);
}

HRESULT STDMETHODCALLTYPE EventSink::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) {
    return E_POINTER;
  }
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) {
    *info = nullptr;
  }
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                                   DISPID* ids) {
  for (UINT i = 0; ids != nullptr && i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE EventSink::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*,
                                            VARIANT* result, EXCEPINFO*, UINT*) {
  if (result != nullptr) {
    VariantInit(result);
  }
  return S_OK;
}
