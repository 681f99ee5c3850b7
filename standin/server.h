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

// How the stand-in misbehaves when told to: its thread stops answering
// anything (for two minutes, in case nobody ends it), or its process ends.
enum class Misbehaviour { kNone, kHang, kDie };
void Misbehave(Misbehaviour misbehaviour);

class Server {
 public:
  static Server& Instance();

  // Launched by COM, the server ends with its last object; started by hand,
  // it runs until told to quit.
  void EndWithLastObject(bool end) { end_with_last_object_ = end; }

  // The class object's registration, revoked before the server ends so that
  // no client reaches a server that is going away.
  void ServeClass(DWORD registration) { registration_ = registration; }
  // Refuses calls through COM while busy, as a messenger does on Windows.
  HRESULT RegisterBusyFilter();
  void Quit();

  const std::optional<std::wstring>& signin_name() const { return signin_name_; }
  // How long each answer to MySigninName, to a subscription or to an
  // unsubscription takes, as a slow messenger's would.
  void SetAnswerDelay(DWORD milliseconds) { answer_delay_ms_ = milliseconds; }
  // Calls are refused as busy for that long from now: the busy window of a
  // messenger that has a modal window open.
  void BeBusyFor(DWORD milliseconds) {
    busy_until_ = GetTickCount() + milliseconds;
    refusals_ = 0;
  }
  bool busy() const { return static_cast<LONG>(busy_until_ - GetTickCount()) > 0; }
  // Name queries refused as busy since the busy spell began: a client that
  // asks again without a pause floods the messenger.
  void CountRefusal() { ++refusals_; }
  int refusals() const { return refusals_; }
  // Misbehaves at the next subscription, or at a name query from now: once
  // names_before it have been answered.
  void MisbehaveAtSubscription(Misbehaviour misbehaviour) { at_subscription_ = misbehaviour; }
  void MisbehaveAtName(Misbehaviour misbehaviour, int names_before) {
    at_name_ = misbehaviour;
    names_before_misbehaving_ = names_before;
  }
  // Called by every object before it answers a name query, a subscription
  // or an unsubscription: takes the answer's delay and any misbehaviour due.
  void BeforeNameAnswer();
  void BeforeSubscription();
  void BeforeUnsubscription() const { Sleep(answer_delay_ms_); }
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
  DWORD busy_until_ = 0;
  int refusals_ = 0;
  Misbehaviour at_subscription_ = Misbehaviour::kNone;
  Misbehaviour at_name_ = Misbehaviour::kNone;
  int names_before_misbehaving_ = 0;
  int subscriptions_ = 0;
  bool end_with_last_object_ = false;
};
