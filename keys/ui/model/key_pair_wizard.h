// The rules of the key pair wizard without Win32: the order of its four pages,
// what the length slider and the owner page accept, and which message a failed
// generation shows. keys/ui/key_pair_wizard.* draws the pages.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "platform/secure.h"
#include "qvx/strings.h"

namespace qvx::keys::ui {

enum class WizardPage { Length, Owner, Note, Protection, Generate, Cancelled };
enum class PageAnswer { Next, Back, Cancel };

// The page shown after a page is left with an answer: Next goes on (after the
// last page to Generate), Back returns (the first page has none), Cancel ends.
WizardPage NextPage(WizardPage page, PageAnswer answer);

// What the pages collected. Owner, note and length are kept across Back.
struct KeyPairChoices {
  unsigned bits = 1024;
  std::string owner;
  std::string note;
  // The protection key when the private key is to be protected.
  std::optional<Key256> protection;
  // The typed password (empty when none was typed, or it came from the
  // storage), kept only to be saved in the password storage.
  SecureString password;
  bool save_and_associate = false;
};

// The key length a slider position stands for: 1024 to 2048, a multiple of 8.
unsigned KeyBitsFromSlider(int position);

// Why an owner name cannot be taken: "Enter key owner name!" for an empty one,
// OwnerNameInvalid for one that cannot be part of a file name; nullopt when
// it is fine.
std::optional<Msg> OwnerProblem(std::string_view owner);

// The message for a generation that failed: the files could not be written,
// memory ran out, or the key pair itself could not be made.
Msg GenerationFailureMessage(const Error& error);

}  // namespace qvx::keys::ui
