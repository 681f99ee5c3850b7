#include "color/color.h"

std::uint32_t PackPreviewColor(const ChannelTriple& color) {
  return static_cast<std::uint32_t>(color.red) | static_cast<std::uint32_t>(color.green) << 8 |
         static_cast<std::uint32_t>(color.blue) << 16;
}

ChannelTriple ApplyWhiteRule(const ChannelTriple& color) {
  constexpr std::int16_t kFull = 255;
  if (color.red == kFull && color.green == kFull && color.blue == kFull) {
    return {kFull, kFull - 1, kFull};
  }
  return color;
}

std::wstring BuildColorRecord(const ChannelTriple& color) {
  return {static_cast<wchar_t>(color.red), static_cast<wchar_t>(color.green),
          static_cast<wchar_t>(color.blue), L'\0'};
}

std::optional<ChannelTriple> ChannelsFromColorRecord(std::wstring_view record) {
  constexpr wchar_t kLargestCode = 0xFF;
  if (record.size() != 4 || record[3] != L'\0' || record[0] > kLargestCode ||
      record[1] > kLargestCode || record[2] > kLargestCode) {
    return std::nullopt;
  }
  return ChannelTriple{static_cast<std::int16_t>(record[0]), static_cast<std::int16_t>(record[1]),
                       static_cast<std::int16_t>(record[2])};
}

std::wstring BuildAccountKeyPath(std::wstring_view signin_name) {
  std::wstring path{kAccountKeyPrefix};
  path += signin_name;
  return path;
}
