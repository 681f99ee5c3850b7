// One owner for every kind of handle the program keeps: a std::unique_ptr
// whose deleter is that kind's own release function, so that each handle is
// released exactly once, on every path, with no class written for it.
//   Owned<HKEY, RegCloseKey>  Owned<HANDLE, CloseHandle>  Owned<VARIANT*, VariantClear>
// COM pointers have theirs: Microsoft::WRL::ComPtr.
#pragma once

#include <memory>
#include <type_traits>

template <auto Release>
struct ReleasedBy {
  template <typename Handle>
  void operator()(Handle handle) const noexcept {
    Release(handle);
  }
};

template <typename Handle, auto Release>
using Owned = std::unique_ptr<std::remove_pointer_t<Handle>, ReleasedBy<Release>>;
