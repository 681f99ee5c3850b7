#include "standin/server.h"

#include "color/color.h"
#include "standin/messenger_object.h"

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
  const std::wstring sub_key =
      BuildAccountKeyPath(name).substr(std::wstring_view{L"HKEY_CURRENT_USER\\"}.size());
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, sub_key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
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
