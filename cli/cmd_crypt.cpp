// qvx encrypt / qvx decrypt: a whole text into one crypto-text block under a
// password, and every block of a text back to its plaintext. Texts are bytes:
// line breaks and everything outside the blocks are kept as they are.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/key_support.h"
#include "cli/options.h"
#include "engine/cryptotext.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "keys/key_store_envelopes.h"
#include "keys/key_store_recipients.h"

namespace qvx::cli {

namespace {

// Passwords from --password-file, --password-env or the terminal.
class CliPasswordPrompt final : public PasswordPrompt {
 public:
  CliPasswordPrompt(const ParsedArgs& args, bool ask_each) : args_(args), ask_each_(ask_each) {}

  Result<Key256> AskEncryptionKey() override { return Ask("Password: ", true); }

  Result<Key256> AskDecryptionKey(DecryptionPasswordRequest& request) override {
    const std::string prompt = request.block_number > 1
                                   ? "Password for block " + std::to_string(request.block_number) + ": "
                                   : "Password: ";
    auto key = Ask(prompt, false);
    if (key) request.use_common_password = !ask_each_;
    return key;
  }

 private:
  Result<Key256> Ask(const std::string& prompt, bool confirm) {
    auto password = ReadPassword(args_, prompt, confirm);
    if (!password) return password.error();
    if (password->empty()) return MakeError(Errc::InvalidArgument, "the password is empty");
    return PasswordToKey(password->view());
  }

  const ParsedArgs& args_;
  bool ask_each_;
};

constexpr const char* kEncryptUsage =
    "usage: qvx encrypt [options] [FILE]\n"
    "\n"
    "Encrypts the whole text of FILE (or standard input) into one crypto-text\n"
    "block under a password, or with --to to public keys.\n"
    "\n"
    "  -o, --output FILE       write the block to FILE (default: standard output;\n"
    "                          a regular or new file only, never a link or device)\n"
    "  --format 1|2            1: compatible (default), 2: hardened; see below\n"
    "  --password-file FILE    take the password from the first line of FILE\n"
    "  --password-env NAME     take the password from environment variable NAME\n"
    "  --to KEY                encrypt to this public key of the key store instead\n"
    "                          (id text, unique prefix or unique owner name);\n"
    "                          format 2 takes --to more than once\n"
    "  --no-self               format 2: do not add your own keys (by default every\n"
    "                          key pair of yours in the store is a recipient too,\n"
    "                          so that you can read the block later)\n"
    "  --store DIR             key store (default: $QVX_STORE, else the program's folder)\n"
    "  -h, --help              show this text\n"
    "\n"
    "Without a password option the password is asked on the terminal, twice.\n"
    "\n"
    "Format 1 is read by every Quorvix installation, old ones included. Its\n"
    "protection is weak by today's standards: a password is tried quickly by\n"
    "anyone who has the block, equal pieces of text show as equal pieces of\n"
    "block, a changed block is not reliably noticed, and a block goes to one key.\n"
    "Format 2 is read only by current Quorvix: its password is salted and slow\n"
    "to try (Argon2id, 64 MiB), any change to the block is detected, nothing\n"
    "about the text is readable without the key, and one block can go to any\n"
    "number of keys, yours included. Decrypting reads both formats.\n";

constexpr const char* kDecryptUsage =
    "usage: qvx decrypt [options] [FILE]\n"
    "\n"
    "Replaces every crypto-text block in FILE (or standard input) by its\n"
    "plaintext; the text around the blocks is kept byte for byte.\n"
    "\n"
    "  -o, --output FILE       write the result to FILE (default: standard output;\n"
    "                          a regular or new file only, never a link or device)\n"
    "  --password-file FILE    take the password from the first line of FILE\n"
    "  --password-env NAME     take the password from environment variable NAME\n"
    "  --ask-each              ask a password for every block (default: the first\n"
    "                          block's password serves them all)\n"
    "  --store DIR             key store for blocks encrypted to a public key\n"
    "                          (default: $QVX_STORE, else the program's folder)\n"
    "  --key-password-file F   password of the private key that opens such blocks\n"
    "  --key-password-env V    ... or from environment variable V\n"
    "  --max-output SIZE       decrypt at most SIZE bytes of text (all blocks\n"
    "                          together; K, M, G suffixes; default 256M): a longer\n"
    "                          text fails as a damaged block without taking the memory\n"
    "  -h, --help              show this text\n"
    "\n"
    "Blocks encrypted to a public key are opened with the matching private key of\n"
    "the store; password blocks ask for the password. One text may hold both,\n"
    "in either format (1, compatible, or 2, hardened) in any mix.\n"
    "\n"
    "Exit codes: 0 done, 2 bad command line, 3 wrong password, 4 damaged block or\n"
    "end line missing, 5 unreadable input or unwritable output, 6 no block found,\n"
    "7 cancelled. Nothing is written when decryption fails. A block encrypted to a\n"
    "public key that the private key does not open, for whatever reason, always\n"
    "gives the same message and exit code 3.\n";

struct Common {
  ParsedArgs args;
  std::string input;
  std::string output;
};

// Parses the options both commands share. Returns an exit code on failure
// or after --help.
std::optional<int> ParseCommon(const Args& raw, const char* usage, bool decrypt, Common& out) {
  std::vector<std::string> switches = {"-h", "--help"};
  std::vector<std::string> values = {"-o", "--output", "--password-file", "--password-env", "--store"};
  if (decrypt) {
    switches.push_back("--ask-each");
    values.push_back(kMaxOutputOption);
    values.insert(values.end(), kKeyPasswordOptions.begin(), kKeyPasswordOptions.end());
  } else {
    values.push_back("--to");
    values.push_back("--format");
    switches.push_back("--no-self");
  }
  auto args = ParseArgs(raw, values, switches);
  if (!args) {
    std::fputs(usage, stderr);
    return kExitUsage;
  }
  if (args->Has("-h") || args->Has("--help")) {
    std::fputs(usage, stdout);
    return kExitOk;
  }
  if (args->positional.size() > 1) {
    PrintError("only one input file can be given");
    return kExitUsage;
  }
  if (args->Has("--password-file") && args->Has("--password-env")) {
    PrintError("give either --password-file or --password-env, not both");
    return kExitUsage;
  }
  if (args->Has("--to") && (args->Has("--password-file") || args->Has("--password-env"))) {
    PrintError("--to encrypts to a public key and takes no password");
    return kExitUsage;
  }
  out.args = std::move(*args);
  out.input = out.args.positional.empty() ? "" : out.args.positional[0];
  out.output = out.args.Value("-o").value_or(out.args.Value("--output").value_or(""));
  return std::nullopt;
}

std::optional<SecureBytes> Input(const std::string& path) {
  auto data = ReadSecretInput(path);
  if (!data) {
    PrintError(data.error().detail.empty() ? "cannot read " + path : data.error().detail);
    return std::nullopt;
  }
  return std::move(*data);
}

int Output(const std::string& path, const char* data, std::size_t size) {
  // A decrypted text goes to standard output unbuffered, in one write, so
  // that no copy of it stays in stdout's buffer (nothing was written before).
  if (path.empty() || path == "-") std::setvbuf(stdout, nullptr, _IONBF, 0);
  auto status = WriteOutput(path, reinterpret_cast<const std::uint8_t*>(data), size);
  if (!status) {
    PrintError(status.error().detail.empty() ? "cannot write " + path : status.error().detail);
    return kExitIo;
  }
  return kExitOk;
}

// The public key files of the recipients: every --to, then (format 2, unless
// --no-self) the user's own key pairs. nullopt after printing the problem.
std::optional<std::vector<std::string>> Recipients(const KeyStore& store, const ParsedArgs& args,
                                                   CryptoFormat format) {
  std::vector<std::string> paths;
  for (const std::string& to : args.Values("--to")) {
    auto entry = ResolveKey(store, to);
    if (!entry) {
      Fail(entry.error());
      return std::nullopt;
    }
    paths.push_back(entry->public_path);
  }
  if (format == CryptoFormat::Hardened && !paths.empty() && !args.Has("--no-self")) {
    if (store.List(KeyKind::Mine).empty()) {
      PrintError("note: no key pair of yours in the store, so you will not be able to read this block");
    }
    paths = RecipientFiles(store, std::move(paths), true);
  }
  return paths;
}

int RunEncrypt(const Args& raw) {
  Common c;
  if (auto code = ParseCommon(raw, kEncryptUsage, false, c)) return *code;
  const std::string format_text = c.args.Value("--format").value_or("1");
  if (format_text != "1" && format_text != "2") {
    PrintError("--format takes 1 (compatible) or 2 (hardened)");
    return kExitUsage;
  }
  const CryptoFormat format = format_text == "2" ? CryptoFormat::Hardened : CryptoFormat::Compatible;
  if (format == CryptoFormat::Compatible && c.args.Values("--to").size() > 1) {
    PrintError("format 1 encrypts to one key; give --format 2 for several");
    return kExitUsage;
  }
  if (c.args.Has("--no-self") && (format == CryptoFormat::Compatible || !c.args.Has("--to"))) {
    PrintError("--no-self goes with --format 2 and --to");
    return kExitUsage;
  }
  auto data = Input(c.input);
  if (!data) return kExitIo;
  CliPasswordPrompt prompt(c.args, false);
  const KeyStore store(StoreFolder(c.args));
  const auto recipients = Recipients(store, c.args, format);
  if (!recipients) return kExitUsage;
  std::optional<std::string> recipient;
  if (!recipients->empty()) recipient = recipients->front();
  FixedProtectionKey no_private_keys;
  KeyStoreEnvelopes rsa(store, [&] { return recipient; }, no_private_keys);
  KeyStoreRecipients hardened(store, [&] { return recipients; }, no_private_keys);
  CryptoTextOperation op(prompt, nullptr, &rsa, &hardened);
  auto block = op.EncryptText(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()),
                              recipient ? EnvelopeMode::Rsa : EnvelopeMode::Password, format);
  if (!block) return Fail(block.error());
  TerminalMessages terminal;
  ShowNotices(terminal, rsa.notices());
  return Output(c.output, block->data(), block->size());
}

int RunDecrypt(const Args& raw) {
  Common c;
  if (auto code = ParseCommon(raw, kDecryptUsage, true, c)) return *code;
  const auto max_output = MaxOutput(c.args);
  if (!max_output) return kExitUsage;
  auto data = Input(c.input);
  if (!data) return kExitIo;
  const std::string_view text(reinterpret_cast<const char*>(data->data()), data->size());
  if (!ContainsCryptoText(text)) {
    PrintError("no crypto-text block in the input");
    return kExitNotFound;
  }
  CliPasswordPrompt prompt(c.args, c.args.Has("--ask-each"));
  const KeyStore store(StoreFolder(c.args));
  CliProtectionKeys private_keys(c.args);
  KeyStoreEnvelopes rsa(store, nullptr, private_keys);
  KeyStoreRecipients hardened(store, nullptr, private_keys);
  CryptoTextOperation op(prompt, nullptr, &rsa, &hardened);
  auto result = op.DecryptAllBlocks(text, DecryptLimits{*max_output});
  if (!result) return Fail(private_keys.failure().value_or(result.error()));
  if (result->end_line_missing) {
    TerminalMessages terminal;
    ShowNotices(terminal, result->notices);
    // Named in the format of the first start line.
    const auto compatible = FindMarkerLine(text, kCryptoMarkers.start);
    const auto hardened_start = FindMarkerLine(text, kHardenedMarkers.start);
    const bool second = hardened_start && (!compatible || hardened_start->marker < compatible->marker);
    PrintError(std::string("the end line of the crypto-text block is missing (\"") +
               std::string(second ? kHardenedMarkers.end : kCryptoMarkers.end) + "\")");
    return kExitCorrupted;
  }
  return Output(c.output, result->text.data(), result->text.size());
}

const RegisterCommand kEncrypt({"encrypt", "encrypt a text into a crypto-text block under a password",
                                kEncryptUsage, RunEncrypt});
const RegisterCommand kDecrypt({"decrypt", "decrypt every crypto-text block of a text", kDecryptUsage,
                                RunDecrypt});

}  // namespace

}  // namespace qvx::cli
