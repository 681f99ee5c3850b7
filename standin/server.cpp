#include "standin/server.h"

#include <objidl.h>

#include <utility>

#include "color/color.h"
#include "standin/driver.h"
#include "standin/messenger_object.h"

namespace {

// A hung messenger still ends by itself, in case nobody kills it.
constexpr DWORD kHangMs = 120000;

// On Windows a busy messenger refuses calls through its message filter, and
// COM retries them on the caller's behalf; Wine's COM ignores a filter's
// refusal, so the name query refuses too.
class BusyFilter final : public IMessageFilter {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    *object = iid == IID_IUnknown || iid == IID_IMessageFilter ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, INTERFACEINFO*) override {
    return Server::Instance().busy() ? SERVERCALL_RETRYLATER : SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override {
    return static_cast<DWORD>(-1);
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
    return PENDINGMSG_WAITDEFPROCESS;
  }
};

}  // namespace

void Misbehave(Misbehaviour misbehaviour) {
  if (misbehaviour == Misbehaviour::kHang) {
    Sleep(kHangMs);
  } else if (misbehaviour == Misbehaviour::kDie) {
    ExitProcess(3);
  }
}

Server& Server::Instance() {
  static Server server;
  return server;
}

void Server::SignIn(const std::wstring& name) {
  signin_name_ = name;
  // Only a name that is one plain key name gets a key: the stand-in must not
  // itself create the keys that hostile names point at.
  const bool plain_key_name = !name.empty() && name.size() < 256 &&
                              name.find_first_of(std::wstring_view{L"\\\0", 2}) == name.npos;
  if (!plain_key_name) {
    return;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, AccountKey(name).c_str(), 0, nullptr, 0, KEY_READ, nullptr,
                      &key, nullptr) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
}

HRESULT Server::RegisterBusyFilter() {
  static BusyFilter filter;
  IMessageFilter* previous = nullptr;
  return CoRegisterMessageFilter(&filter, &previous);
}

void Server::BeforeNameAnswer() {
  Sleep(answer_delay_ms_);
  if (at_name_ != Misbehaviour::kNone && names_before_misbehaving_-- == 0) {
    Misbehave(std::exchange(at_name_, Misbehaviour::kNone));
  }
}

void Server::BeforeSubscription() {
  Sleep(answer_delay_ms_);
  Misbehave(std::exchange(at_subscription_, Misbehaviour::kNone));
}

void Server::Add(MessengerObject* object) { objects_.push_back(object); }

void Server::Remove(MessengerObject* object) {
  std::erase(objects_, object);
  EndIfUnused();
}

void Server::LockServer(bool lock) {
  locks_ += lock ? 1 : -1;
  EndIfUnused();
}

void Server::FireEvents() {
  // Firing can reenter (a sink may release its object), so fire on a copy.
  const std::vector<MessengerObject*> objects = objects_;
  for (MessengerObject* object : objects) {
    object->AddRef();
    object->Fire();
    object->Release();
  }
}

void Server::Quit() {
  if (registration_ != 0) {
    CoRevokeClassObject(registration_);
    registration_ = 0;
  }
  PostQuitMessage(0);
}

void Server::EndIfUnused() {
  if (end_with_last_object_ && objects_.empty() && locks_ <= 0) {
    Quit();
  }
}
