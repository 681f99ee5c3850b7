// The registry below HKEY_CURRENT_USER as a test sees it: whole subtrees
// compared before and after, in keys of names unique to the run.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Undoes what a test made (keys, files) when it goes out of scope: also when
// an assertion has stopped the test half-way.
class AtEnd {
 public:
  explicit AtEnd(std::function<void()> undo) : undo_(std::move(undo)) {}
  ~AtEnd() { undo_(); }
  AtEnd(const AtEnd&) = delete;
  AtEnd& operator=(const AtEnd&) = delete;

 private:
  std::function<void()> undo_;
};

// base made unique to this run, so that a test can remove what it made.
std::wstring UniqueName(const std::wstring& base);

// Every key and value below sub_key, one sorted line each.
std::vector<std::wstring> Snapshot(const std::wstring& sub_key);
