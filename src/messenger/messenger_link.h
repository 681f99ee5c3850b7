// The link to the running messenger, through its automation object: the only
// thing asked of it is the signed-in account's sign-in name.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <optional>
#include <string>

#include "messenger/unanswered_call_filter.h"

class MessengerLink {
 public:
  MessengerLink() = default;
  ~MessengerLink() { Close(); }
  MessengerLink(const MessengerLink&) = delete;
  MessengerLink& operator=(const MessengerLink&) = delete;

  // Creates the messenger object and subscribes to its events (which are all
  // ignored). On failure the link stays closed and the status says why. A
  // messenger that does not answer meanwhile, or stays busy, is watched
  // already: the user is asked in boxes of their own whether to keep
  // waiting, and stopping ends the program with exit_code_if_stopped.
  [[nodiscard]] HRESULT Open(int exit_code_if_stopped);

  // Asks the messenger afresh for the signed-in account's sign-in name, as
  // it reports it. Throws Failure when it gives none (nobody signed in, the
  // messenger gone); note is added to the failure's description. When the
  // messenger does not answer, or stays busy, the user is asked in a box
  // owned by owner whether to keep waiting; stopping ends the program after
  // the fatal error box, which carries note too.
  std::wstring SigninName(HWND owner, const std::wstring& note) const;

  // The same question at the start, before there is a window to own a box:
  // nothing when the messenger gives no name. A messenger that does not
  // answer, or stays busy, is watched as Open watches it.
  std::optional<std::wstring> SigninNameAtStart(int exit_code_if_stopped) const;

  // Drops the subscription and the object; harmless when the messenger has
  // died meanwhile. A messenger that does not answer meanwhile ends the
  // program with exit_code_if_hung.
  void Close(int exit_code_if_hung = 0) noexcept;

 private:
  // MySigninName, watched to the ending given; throws Failure when it fails.
  std::wstring AskSigninName(UnansweredCallFilter::Ending ending) const;

  // Its state belongs to the call under way, not to the link.
  mutable UnansweredCallFilter filter_;
  Microsoft::WRL::ComPtr<IDispatch> messenger_;
  Microsoft::WRL::ComPtr<IConnectionPoint> events_;
  DWORD cookie_ = 0;
  DISPID signin_name_id_ = DISPID_UNKNOWN;
};
