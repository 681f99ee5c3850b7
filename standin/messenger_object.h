// One Messenger automation object: answers MySigninName from the stand-in's
// state and offers the event dispinterface through a connection point.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <map>

#include "com_object.h"

struct IMessenger : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_MySigninName(BSTR* name) = 0;
};
struct IMessengerDefault : IMessenger {};

class MessengerObject final : public IMessengerDefault,
                              public IConnectionPointContainer,
                              public IConnectionPoint,
                              private ComObject {
 public:
  MessengerObject();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Retain(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override;
  HRESULT STDMETHODCALLTYPE get_MySigninName(BSTR* name) override;

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE
  GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

  // Raises one event at every subscriber.
  void Fire();

 private:
  ~MessengerObject() override;

  DWORD next_cookie_ = 1;
  std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> sinks_;
};
