// The stand-in messenger's state: who is signed in, and which automation
// objects are alive (to raise events at them and to know when to end).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class MessengerObject;

// What MySigninName fails with while nobody is signed in.
inline constexpr HRESULT kNotSignedIn = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0201);
inline constexpr wchar_t kNotSignedInDescription[] = L"Nobody is signed in to the messenger.";

class Server {
 public:
  static Server& Instance();

  // Launched by COM, the server ends with its last object; started by hand,
  // it runs until told to quit.
  void EndWithLastObject(bool end) { end_with_last_object_ = end; }

  // The class object's registration, revoked before the server ends so that
  // no client reaches a server that is going away.
  void ServeClass(DWORD registration) { registration_ = registration; }
  void Quit();

  const std::optional<std::wstring>& signin_name() const { return signin_name_; }
  // How long each answer to MySigninName takes, as a slow messenger's would.
  DWORD answer_delay_ms() const { return answer_delay_ms_; }
  void SetAnswerDelay(DWORD milliseconds) { answer_delay_ms_ = milliseconds; }
  // Like the messenger at sign-in, creates the account's settings key.
  void SignIn(const std::wstring& name);
  void SignOut() { signin_name_.reset(); }

  void Add(MessengerObject* object);
  void Remove(MessengerObject* object);
  void LockServer(bool lock);
  void FireEvents();
  // Subscriptions are counted apart from the objects: a client that drops its
  // object without unsubscribing still counts, as it would with a messenger
  // whose object lives on.
  void CountSubscription(int change) { subscriptions_ += change; }
  bool HasSubscribers() const { return subscriptions_ > 0; }

 private:
  void EndIfUnused();

  std::optional<std::wstring> signin_name_;
  std::vector<MessengerObject*> objects_;
  int locks_ = 0;
  DWORD registration_ = 0;
  DWORD answer_delay_ms_ = 0;
  int subscriptions_ = 0;
  bool end_with_last_object_ = false;
};
