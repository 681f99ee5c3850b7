#include "color/apply.h"

#include <string>

#include "failure/failure.h"
#include "messenger/messenger_link.h"
#include "registry/reg.h"
#include "resources/program.h"

namespace {

// Why the value could not be written, in the user's terms; empty when the
// user has been told already (the path's format box).
std::wstring WhyNotWritten(const reg::WriteOutcome& outcome) {
  switch (outcome.status) {
    case reg::WriteStatus::kWritten:
    case reg::WriteStatus::kPathRejected: return {};
    case reg::WriteStatus::kKeyNotOpened:
      if (outcome.error == ERROR_FILE_NOT_FOUND) {
        return L"This account has no messenger settings on this computer yet. Sign in once "
               L"with the messenger, then try again.";
      }
      return L"Its settings could not be opened: " +
             FailureFromHresult(HRESULT_FROM_WIN32(outcome.error)).description;
    case reg::WriteStatus::kValueNotSet:
      return L"Its settings could not be written: " +
             FailureFromHresult(HRESULT_FROM_WIN32(outcome.error)).description;
    case reg::WriteStatus::kNotRepresentable:
      return L"The sign-in name holds characters that this computer's code page cannot "
             L"represent exactly, so it cannot name the account's settings safely.";
    case reg::WriteStatus::kUnknownRoot:
    case reg::WriteStatus::kDataOutOfRange: break;
  }
  return L"The account's settings could not be found.";
}

// A box the user must see: when it cannot be shown, that is a failure too.
void Tell(HWND owner, const std::wstring& text, const wchar_t* title, UINT style) {
  if (ShowBox(owner, text, title, MB_OK | style) == 0) {
    throw FailureFromLastError();
  }
}

// The channels as they stand, never pure white: green goes to 254 first,
// and the preview shows it.
ChannelTriple ReadNotWhite(ChannelControls& channels) {
  const ChannelTriple read = channels.ReadChannels();
  const ChannelTriple kept = ApplyWhiteRule(read);
  if (kept != read) {
    channels.SetGreen(kept.green);
  }
  return kept;
}

// Why the name cannot name the account's settings key; empty when it can.
// A backslash would make the name a path to some other key; a key's name has
// at most 255 characters, and the registry's own refusal of a longer one
// tells the user nothing.
std::wstring WhyNameCannotNameKey(const std::wstring& name) {
  if (name.find(L'\\') != std::wstring::npos) {
    return L"The sign-in name contains a backslash, so it cannot name the account's settings.";
  }
  if (constexpr std::size_t kLongestKeyName = 255; name.size() > kLongestKeyName) {
    return L"The sign-in name is longer than the 255 characters that can name the account's "
           L"settings.";
  }
  return {};
}

void ShowNotChanged(const std::wstring& name, const std::wstring& reason, HWND owner) {
  Tell(owner, L"The color was not changed for " + name + L".\n\n" + reason, kProgramTitle,
       MB_ICONHAND);
}

}  // namespace

void ApplyColor(ChannelControls& channels, const MessengerLink& messenger, HWND owner) {
  ReadNotWhite(channels);
  const std::wstring name = messenger.SigninName(owner, {});
  // Read again: another program may have moved a bar while the messenger was
  // asked. What is stored is what the bars and the preview show, never white.
  const std::wstring record = BuildColorRecord(ReadNotWhite(channels));

  if (const std::wstring reason = WhyNameCannotNameKey(name); !reason.empty()) {
    ShowNotChanged(name, reason, owner);
    return;
  }
  const reg::WriteOutcome outcome =
      reg::WriteBinaryValue(BuildAccountKeyPath(name), kColorValueName, record, owner);
  if (outcome.status == reg::WriteStatus::kDataOutOfRange) {
    throw Failure{DISP_E_OVERFLOW, L"Overflow"};
  }
  if (outcome.status != reg::WriteStatus::kWritten) {
    if (const std::wstring reason = WhyNotWritten(outcome); !reason.empty()) {
      ShowNotChanged(name, reason, owner);
    }
    return;
  }

  // Whatever goes wrong from here on, the colour is stored: the user is told.
  const std::wstring confirmed_name =
      messenger.SigninName(owner, L"The color had already been changed for " + name + L".");
  std::wstring text = L"Color has been changed for " + name;
  if (confirmed_name != name) {  // signed in as someone else meanwhile
    text += L".\n\nThe messenger is now signed in as " + confirmed_name +
            L", whose color was not changed.";
  }
  Tell(owner, text, L"Done !", MB_ICONINFORMATION);
}

std::optional<ChannelTriple> ReadStoredColor(const MessengerLink& messenger,
                                             int exit_code_if_stopped) {
  const std::optional<std::wstring> name = messenger.SigninNameAtStart(exit_code_if_stopped);
  if (!name || !WhyNameCannotNameKey(*name).empty()) {
    return std::nullopt;
  }
  const std::optional<std::wstring> record =
      reg::ReadBinaryValue(BuildAccountKeyPath(*name), kColorValueName);
  return record ? ChannelsFromColorRecord(*record) : std::nullopt;
}
