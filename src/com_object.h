// What every COM object of the project's own that counts its references
// does alike (the stand-in's too): one count for all of its interfaces, and
// the answer to QueryInterface. The object's IUnknown methods hand on to
// these.
#pragma once

#include <windows.h>
#include <unknwn.h>

class ComObject {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

  ULONG Retain() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG Drop() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) {
      delete this;
    }
    return static_cast<ULONG>(left);
  }
  // Gives found, the interface asked for (null: the object has none such).
  static HRESULT Answer(IUnknown* found, void** object) {
    *object = found;
    if (found == nullptr) {
      return E_NOINTERFACE;
    }
    found->AddRef();
    return S_OK;
  }

 private:
  LONG references_ = 1;
};
