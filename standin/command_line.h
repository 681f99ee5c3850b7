// Quoting for Windows command lines.
#pragma once

#include <string>

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);
