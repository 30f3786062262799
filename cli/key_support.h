// What the key commands of qvx share: the key store folder, messages on the
// terminal, the private-key password, and finding a key from what the user
// typed (its id text, a unique prefix of it, or a unique owner name).
#pragma once

#include <optional>
#include <string>

#include "cli/options.h"
#include "keys/key_store.h"
#include "keys/protection.h"
#include "platform/ui.h"

namespace qvx::cli {

// Options every key command takes.
inline const std::vector<std::string> kStoreOptions = {"--store"};
inline const std::vector<std::string> kKeyPasswordOptions = {"--key-password-file",
                                                             "--key-password-env"};

// The store folder: --store DIR, else $QVX_STORE, else the program's folder.
std::string StoreFolder(const ParsedArgs& args);

// Prints each message as "qvx: <text>" on stderr. Questions are answered by
// the --yes switch (yes) or declined, with a note on how to confirm.
class TerminalMessages final : public MessageUi {
 public:
  explicit TerminalMessages(bool yes = false) : yes_(yes) {}
  void Show(Msg id, BoxKind kind = BoxKind::Plain, std::string_view arg = {}) override;
  bool Confirm(Msg id) override;
  // Prints the whole warning; yes only with --yes.
  bool ConfirmWarning(Msg id, std::string_view arg) override;

 private:
  bool yes_;
};

// The private-key password from --key-password-file / --key-password-env or
// the terminal, asked only when a protected key is opened.
class CliProtectionKeys final : public ProtectionKeySource {
 public:
  explicit CliProtectionKeys(const ParsedArgs& args) : args_(args) {}
  std::optional<Key256> GetProtectionKey(const KeyFileHeader& header) override;
  // Why the last question gave no key (for the error message).
  const std::optional<Error>& failure() const { return failure_; }

 private:
  const ParsedArgs& args_;
  std::optional<Error> failure_;
};

// The key the user means. kind limits the search ("My key" entries for
// signing); an ambiguous text is an error that lists the candidates.
Result<KeyEntry> ResolveKey(const KeyStore& store, const std::string& text,
                            std::optional<KeyKind> kind = std::nullopt);

// "MM.DD.YYYY  hh:mm:ss" as the key lists show creation times.
std::string FormatCreationTime(FileTime time);

// Prints the failure once on stderr: the messages it carries for the user,
// then its detail (why, in the program's words), and gives the exit code.
int Fail(const Error& error);

}  // namespace qvx::cli
