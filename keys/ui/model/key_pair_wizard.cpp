// The key pair wizard's rules.
#include "keys/ui/model/key_pair_wizard.h"

#include <algorithm>

#include "keys/generate.h"
#include "keys/key_id.h"

namespace qvx::keys::ui {

WizardPage NextPage(WizardPage page, PageAnswer answer) {
  if (answer == PageAnswer::Cancel) return WizardPage::Cancelled;
  const bool next = answer == PageAnswer::Next;
  switch (page) {
    case WizardPage::Length:
      return next ? WizardPage::Owner : WizardPage::Length;
    case WizardPage::Owner:
      return next ? WizardPage::Note : WizardPage::Length;
    case WizardPage::Note:
      return next ? WizardPage::Protection : WizardPage::Owner;
    case WizardPage::Protection:
      return next ? WizardPage::Generate : WizardPage::Note;
    case WizardPage::Generate:
    case WizardPage::Cancelled:
      break;
  }
  return page;
}

unsigned KeyBitsFromSlider(int position) {
  const int clamped = std::clamp(position, static_cast<int>(kMinKeyBits), static_cast<int>(kMaxKeyBits));
  return static_cast<unsigned>(clamped) & ~(kKeyBitsStep - 1);
}

std::optional<Msg> OwnerProblem(std::string_view owner) {
  if (owner.empty()) return Msg::EnterKeyOwner;
  if (!IsValidOwnerName(owner)) return Msg::OwnerNameInvalid;
  return std::nullopt;
}

Msg GenerationFailureMessage(const Error& error) {
  switch (error.code) {
    case Errc::Io:
      return Msg::PublicKeyCreationError;
    case Errc::OutOfMemory:
      return Msg::MemoryAllocationError;
    default:
      return Msg::KeyGenerationFailed;
  }
}

}  // namespace qvx::keys::ui
