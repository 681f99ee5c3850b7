// The link to the running messenger, through its automation object: the only
// thing asked of it is the signed-in account's sign-in name.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <string>

class MessengerLink {
 public:
  MessengerLink() = default;
  ~MessengerLink() { Close(); }
  MessengerLink(const MessengerLink&) = delete;
  MessengerLink& operator=(const MessengerLink&) = delete;

  // Creates the messenger object and subscribes to its events (which are all
  // ignored). On failure the link stays closed and the status says why.
  [[nodiscard]] HRESULT Open();

  // Asks the messenger afresh for the signed-in account's sign-in name, as
  // it reports it. Throws Failure when it gives none (nobody signed in, the
  // messenger gone).
  std::wstring SigninName() const;

  // Drops the subscription and the object; harmless when the messenger has
  // died meanwhile.
  void Close() noexcept;

 private:
  Microsoft::WRL::ComPtr<IDispatch> messenger_;
  Microsoft::WRL::ComPtr<IConnectionPoint> events_;
  DWORD cookie_ = 0;
  DISPID signin_name_id_ = DISPID_UNKNOWN;
};
