// qvx keys: generate, list, show, note, delete, export and import key pairs of
// a key store.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/key_support.h"
#include "cli/terminal_support.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "keys/generate.h"
#include "keys/key_identity.h"
#include "keys/public_key_block.h"
#include "keys/transport.h"

namespace qvx::cli {

namespace {

const char kUsage[] =
    "usage: qvx keys <subcommand> [options]\n"
    "\n"
    "  generate --owner NAME [--note TEXT] [--bits N] [--password-file F | --password-env V | --no-password]\n"
    "      make a key pair of your own: N from 1024 to 2048 in steps of 8 (default 2048);\n"
    "      the private key is protected by the password (asked twice on the terminal;\n"
    "      an empty password or --no-password leaves it unprotected)\n"
    "  list [--mine | --other]\n"
    "      the keys of the store: id, type, length, creation time, owner, note\n"
    "  show KEYID | FILE.qvx\n"
    "      one key's properties (a key file given by path is only read), with the\n"
    "      key's fingerprint: SHA-256 of its public numbers, to compare with the\n"
    "      owner's by another way before you trust the key\n"
    "  note KEYID --note TEXT [--key-password-file F | --key-password-env V]\n"
    "      replace the note of one of your own keys\n"
    "  delete KEYID [--yes]\n"
    "      remove a key (both files of your own key)\n"
    "  export KEYID -o FILE.qvxt [--private] [--password-file F | --password-env V]\n"
    "      write a transport file with the public key, or with --private both files of\n"
    "      your own key, the private one enciphered under a transport password\n"
    "  import FILE.qvxt [--password-file F | --password-env V] [--yes]\n"
    "      read a transport file into the store (the transport password is asked only\n"
    "      when it carries a private key); a different key under the id of another\n"
    "      person's key replaces it only with --yes, never one of your own pairs\n"
    "\n"
    "KEYID is a key's id text {XXXXXXXX-...}, a unique prefix of it, or a unique owner name.\n"
    "Every subcommand takes --store DIR (default: $QVX_STORE, else the program's folder).\n";

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> kPasswordOptions = {"--password-file", "--password-env"};

int Generate(const Args& args) {
  auto parsed = ParseArgs(args, Join(Join({"--owner", "--note", "--bits"}, kStoreOptions), kPasswordOptions),
                          {"--no-password"});
  if (!parsed) return kExitUsage;
  auto owner = parsed->Value("--owner");
  if (!owner || !parsed->positional.empty()) {
    PrintError("keys generate needs --owner NAME (see qvx help keys)");
    return kExitUsage;
  }
  unsigned bits = 2048;
  if (auto text = parsed->Value("--bits")) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || !IsValidKeyLength(static_cast<unsigned>(value)) || value > 4096) {
      PrintError("--bits must be 1024 to 2048 in steps of 8");
      return kExitUsage;
    }
    bits = static_cast<unsigned>(value);
  }
  std::optional<Key256> protection;
  if (!parsed->Has("--no-password")) {
    auto password = ReadPassword(*parsed, "Password for the private key (empty for none): ", true);
    if (!password) {
      PrintError(password.error().detail);
      return ExitCodeFor(password.error().code);
    }
    if (!password->empty()) protection = PasswordToKey(password->view());
  }
  KeyStore store(StoreFolder(*parsed));
  auto made = GenerateKeyPair(store, bits, *owner, parsed->Value("--note").value_or(""),
                              protection ? &*protection : nullptr);
  if (!made) {
    PrintError("cannot make the key pair: " + made.error().detail);
    return ExitCodeFor(made.error().code);
  }
  std::printf("%s\n", made->header.id.Text().c_str());
  std::fprintf(stderr, "public key:  %s\nprivate key: %s%s\n", TerminalSafe(made->public_path).c_str(),
               TerminalSafe(made->private_path).c_str(), protection ? " (password protected)" : "");
  return kExitOk;
}

void PrintEntry(const KeyEntry& entry) {
  std::printf("%s  %-9s  %4u  %s  %s%s%s\n", entry.header.id.Text().c_str(),
              MessageText(entry.kind == KeyKind::Mine ? Msg::KindMyKey : Msg::KindOtherKey),
              entry.header.bits, FormatCreationTime(entry.header.created).c_str(),
              TerminalSafe(entry.header.owner).c_str(), entry.header.note.empty() ? "" : "  ",
              TerminalSafe(entry.header.note).c_str());
}

int List(const Args& args) {
  auto parsed = ParseArgs(args, kStoreOptions, {"--mine", "--other"});
  if (!parsed) return kExitUsage;
  if (!parsed->positional.empty()) {
    PrintError("keys list takes no arguments");
    return kExitUsage;
  }
  KeyStore store(StoreFolder(*parsed));
  auto entries = store.List();
  std::stable_sort(entries.begin(), entries.end(), [](const KeyEntry& a, const KeyEntry& b) {
    return a.kind != b.kind ? a.kind == KeyKind::Mine : a.header.owner < b.header.owner;
  });
  for (const auto& entry : entries) {
    if (parsed->Has("--mine") && entry.kind != KeyKind::Mine) continue;
    if (parsed->Has("--other") && entry.kind != KeyKind::Other) continue;
    PrintEntry(entry);
  }
  return kExitOk;
}

void PrintProperties(const KeyFileHeader& header, bool mine, const std::string& path,
                     const std::optional<KeyFingerprint>& fingerprint) {
  std::printf("%s : %s\n", MessageText(Msg::ColumnOwner), TerminalSafe(header.owner).c_str());
  std::printf("%s : %u\n", MessageText(Msg::ColumnLength), header.bits);
  std::printf("%s : %s\n", MessageText(Msg::ColumnCreationTime), FormatCreationTime(header.created).c_str());
  std::printf("%s : %s ( %s )\n", MessageText(Msg::ColumnType),
              MessageText(mine ? Msg::KindMyKey : Msg::KindOtherKey),
              MessageText(header.IsPublicFile() ? Msg::PublicKeyKind : Msg::PrivateKeyKind));
  std::printf("%s : %s\n", MessageText(Msg::ColumnNote), TerminalSafe(header.note).c_str());
  std::printf("Key id : %s\n", header.id.Text().c_str());
  // A file that does not pass its checks has no fingerprint worth comparing.
  std::printf("%s : %s\n", MessageText(Msg::FingerprintTitle),
              fingerprint ? FormatFingerprint(*fingerprint).c_str() : "(the key file does not pass its checks)");
  std::printf("Protected : %s\n", header.IsProtected() ? "yes" : "no");
  std::printf("File : %s\n", TerminalSafe(path).c_str());
}

int Show(const Args& args) {
  auto parsed = ParseArgs(args, kStoreOptions, {});
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 1) {
    PrintError("keys show needs one KEYID or key file");
    return kExitUsage;
  }
  const std::string& what = parsed->positional[0];
  KeyStore store(StoreFolder(*parsed));
  if (NativeFileSystem().FileExists(what)) {
    auto info = ReadKeyFileForDisplay(what, store);
    if (!info) return Fail(info.error());
    PrintProperties(info->header, info->mine, what, info->fingerprint);
    return kExitOk;
  }
  auto entry = ResolveKey(store, what);
  if (!entry) return Fail(entry.error());
  PrintProperties(entry->header, entry->kind == KeyKind::Mine, entry->public_path,
                  FingerprintOfKeyFile(store, entry->public_path));
  if (entry->kind == KeyKind::Mine) std::printf("Private file : %s\n", TerminalSafe(entry->private_path).c_str());
  return kExitOk;
}

int Note(const Args& args) {
  auto parsed = ParseArgs(args, Join(Join({"--note"}, kStoreOptions), kKeyPasswordOptions), {});
  if (!parsed) return kExitUsage;
  auto note = parsed->Value("--note");
  if (parsed->positional.size() != 1 || !note) {
    PrintError("keys note needs KEYID and --note TEXT");
    return kExitUsage;
  }
  KeyStore store(StoreFolder(*parsed));
  auto entry = ResolveKey(store, parsed->positional[0], KeyKind::Mine);
  if (!entry) return Fail(entry.error());
  CliProtectionKeys keys(*parsed);
  if (auto edited = store.EditNote(entry->private_path, *note, keys); !edited) {
    if (keys.failure()) return Fail(*keys.failure());
    Error error = edited.error();
    if (error.code == Errc::Corrupted || error.code == Errc::WrongPassword) {
      error.Then(Msg::PrivateKeyCorrupted, BoxKind::Error);
    }
    return Fail(error);
  }
  return kExitOk;
}

int Delete(const Args& args) {
  auto parsed = ParseArgs(args, kStoreOptions, {"--yes"});
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 1) {
    PrintError("keys delete needs one KEYID");
    return kExitUsage;
  }
  KeyStore store(StoreFolder(*parsed));
  TerminalMessages messages(parsed->Has("--yes"));
  auto entry = ResolveKey(store, parsed->positional[0]);
  if (!entry) return Fail(entry.error());
  if (!messages.Confirm(Msg::ConfirmDeleteKey)) return kExitCancelled;
  if (auto removed = store.Delete(*entry); !removed) return Fail(removed.error());
  std::fprintf(stderr, "deleted %s %s\n", entry->header.id.Text().c_str(), TerminalSafe(entry->header.owner).c_str());
  return kExitOk;
}

int Export(const Args& args) {
  auto parsed = ParseArgs(args, Join(Join({"-o", "--output"}, kStoreOptions), kPasswordOptions), {"--private"});
  if (!parsed) return kExitUsage;
  auto target = parsed->Value("-o");
  if (!target) target = parsed->Value("--output");
  if (parsed->positional.size() != 1 || !target) {
    PrintError("keys export needs KEYID and -o FILE");
    return kExitUsage;
  }
  if (auto problem = OutputPathProblem(*target)) return Fail(*problem);
  const bool both = parsed->Has("--private");
  KeyStore store(StoreFolder(*parsed));
  auto entry = ResolveKey(store, parsed->positional[0], both ? std::optional(KeyKind::Mine) : std::nullopt);
  if (!entry) return Fail(entry.error());
  std::optional<Error> password_error;
  auto ask = [&]() -> std::optional<Key256> {
    auto password = ReadPassword(*parsed, "Transport password: ", true);
    if (!password || password->empty()) {
      password_error = password ? MakeError(Errc::InvalidArgument, "the transport password is empty")
                                : password.error();
      return std::nullopt;
    }
    return PasswordToKey(password->view());
  };
  if (both) PrintError(MessageText(Msg::ExportBothWarning));
  auto exported = ExportKeyTransportFile(
      store, entry->public_path, both ? TransportContent::PublicAndPrivate : TransportContent::PublicOnly,
      *target, ask);
  if (!exported) return Fail(password_error.value_or(exported.error()));
  return kExitOk;
}

int Import(const Args& args) {
  auto parsed = ParseArgs(args, Join(kStoreOptions, kPasswordOptions), {"--yes"});
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 1) {
    PrintError("keys import needs one transport file");
    return kExitUsage;
  }
  KeyStore store(StoreFolder(*parsed));
  std::optional<Error> password_error;
  bool public_written = false;  // the password is asked once the public key is in
  auto ask = [&]() -> std::optional<Key256> {
    public_written = true;
    auto password = ReadPassword(*parsed, "Transport password: ", false);
    if (!password) {
      password_error = password.error();
      return std::nullopt;
    }
    return PasswordToKey(password->view());
  };
  TerminalMessages messages(parsed->Has("--yes"));
  auto imported = ImportKeyTransportFile(store, parsed->positional[0], ask, messages);
  if (!imported) {
    if (public_written && (imported.code() == Errc::Cancelled || imported.code() == Errc::WrongPassword)) {
      PrintError("only the public key was imported");
    }
    return Fail(password_error.value_or(imported.error()));
  }
  std::printf("%s\n", imported->header.id.Text().c_str());
  std::fprintf(stderr, "imported %s key of %s\n", imported->private_path.empty() ? "the public" : "both files of the",
               TerminalSafe(imported->header.owner).c_str());
  return kExitOk;
}

int Run(const Args& args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::string& sub = args[0];
  const Args rest(args.begin() + 1, args.end());
  if (sub == "generate") return Generate(rest);
  if (sub == "list") return List(rest);
  if (sub == "show") return Show(rest);
  if (sub == "note") return Note(rest);
  if (sub == "delete") return Delete(rest);
  if (sub == "export") return Export(rest);
  if (sub == "import") return Import(rest);
  PrintError("unknown subcommand keys " + sub + " (see qvx help keys)");
  return kExitUsage;
}

const RegisterCommand kRegister({"keys", "make, list, show, delete, export and import RSA key pairs", kUsage, Run});

}  // namespace

}  // namespace qvx::cli
