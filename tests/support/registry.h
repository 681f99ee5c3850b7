// The registry below HKEY_CURRENT_USER as a test sees it: whole subtrees
// compared before and after, in keys of names unique to the run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// base made unique to this run, so that a test can remove what it made.
std::wstring UniqueName(const std::wstring& base);

// Every key and value below sub_key, one sorted line each.
std::vector<std::wstring> Snapshot(const std::wstring& sub_key);
