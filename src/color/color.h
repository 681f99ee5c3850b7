// The colour the user picks and the forms in which the program hands it on:
// the preview's colour reference, the messenger's "IM Color" record and the
// registry key of the account it belongs to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Channel values as the red, green and blue scroll bars report them (0..255).
struct ChannelTriple {
  std::int16_t red;
  std::int16_t green;
  std::int16_t blue;

  friend bool operator==(const ChannelTriple&, const ChannelTriple&) = default;
};

inline constexpr std::wstring_view kColorValueName = L"IM Color";
inline constexpr std::wstring_view kAccountKeyPrefix =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\";

// The system's colour reference, 0x00BBGGRR.
std::uint32_t PackPreviewColor(const ChannelTriple& color);

// Pure white is never stored: it becomes red 255, green 254, blue 255, which
// looks the same. Every other colour is returned unchanged.
ChannelTriple ApplyWhiteRule(const ChannelTriple& color);

// Four characters whose codes are red, green, blue and 0: the bytes of the
// "IM Color" value, in the order the messenger reads them.
std::wstring BuildColorRecord(const ChannelTriple& color);

// The channels of a record that BuildColorRecord made: exactly four codes,
// the last 0. Anything else is not such a record, and gives nothing.
std::optional<ChannelTriple> ChannelsFromColorRecord(std::wstring_view record);

// The account's key: the settings prefix followed by the sign-in name as the
// messenger reports it, unchanged.
std::wstring BuildAccountKeyPath(std::wstring_view signin_name);
