// Identifiers of the messenger's automation interface.
#pragma once

#include <windows.h>

namespace messenger_ids {

// The class Messenger.
inline constexpr CLSID kMessengerClass = {
    0xB69003B3, 0xC55E, 0x4B48, {0x83, 0x6C, 0xBC, 0x59, 0x46, 0xFC, 0x3B, 0x28}};
// The class's default interface, which extends IMessenger. The program itself
// reaches both through IDispatch only.
inline constexpr IID kMessengerDefaultInterface = {
    0xD50C3386, 0x0F89, 0x48F8, {0xB2, 0x04, 0x36, 0x04, 0x62, 0x9D, 0xEE, 0x10}};
// IMessenger, which declares the MySigninName property.
inline constexpr IID kMessengerInterface = {
    0xD50C3186, 0x0F89, 0x48F8, {0xB2, 0x04, 0x36, 0x04, 0x62, 0x9D, 0xEE, 0x10}};
// The event dispinterface offered through the object's connection point.
inline constexpr IID kMessengerEvents = {
    0xC9A6A6B6, 0x9BC1, 0x43A5, {0xB0, 0x6B, 0xE5, 0x88, 0x74, 0xEE, 0xBC, 0x96}};

// The standard proxy of every dispinterface (PSDispatch), which marshals the
// event sink.
inline constexpr CLSID kDispatchProxy = {
    0x00020420, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// What IDispatch calls take for "no particular interface" (IID_NULL).
inline constexpr IID kNoInterface{};

inline constexpr wchar_t kSigninNameProperty[] = L"MySigninName";

}  // namespace messenger_ids
