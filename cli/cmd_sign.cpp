// qvx sign / qvx verify: signed texts.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/key_support.h"
#include "cli/terminal_support.h"
#include "keys/signature.h"

namespace qvx::cli {

namespace {

const char kSignUsage[] =
    "usage: qvx sign --key KEYID [-o OUTPUT] [INPUT]\n"
    "\n"
    "Appends a signature block to the text (INPUT or standard input) made with one of\n"
    "your own private keys; writes the signed text to OUTPUT or standard output.\n"
    "  --key KEYID                    id text, unique prefix or unique owner of your key\n"
    "  --key-password-file F          the private key's password (first line of F)\n"
    "  --key-password-env V           ... or from environment variable V\n"
    "  --store DIR                    key store (default: $QVX_STORE, else the program's folder)\n";

const char kVerifyUsage[] =
    "usage: qvx verify [--print-text] [-o OUTPUT] [INPUT]\n"
    "\n"
    "Verifies the first signature block of a signed text (INPUT or standard input)\n"
    "against the signer's public key in the store and shows the signer and what the\n"
    "signature covers: only the text before the block. Text after the block (an added\n"
    "line, another signature block) is not covered, and a warning says so.\n"
    "A signed text that was quoted (\"> \" before every line, the block included) or\n"
    "whose CR LF line breaks all became LF (or CR) is checked as it was before that,\n"
    "and a line says which form matched.\n"
    "  --print-text                   show the signed text as it matched on standard output,\n"
    "                                 control characters written as \\xNN\n"
    "  -o OUTPUT                      write the signed text as it matched to OUTPUT, exactly\n"
    "  --store DIR                    key store (default: $QVX_STORE, else the program's folder)\n"
    "Owner, note and text from the input are shown with control characters (ESC and the\n"
    "like) written as \\xNN, so that they cannot act on the terminal.\n"
    "Exit status 0 when the signature is good, 4 when it does not match the text.\n";

std::string InputPath(const ParsedArgs& args) { return args.positional.empty() ? "-" : args.positional[0]; }

std::optional<std::string> OutputPath(const ParsedArgs& args) {
  if (auto out = args.Value("-o")) return out;
  return args.Value("--output");
}

int Sign(const Args& args) {
  std::vector<std::string> options = {"--key", "-o", "--output"};
  options.insert(options.end(), kStoreOptions.begin(), kStoreOptions.end());
  options.insert(options.end(), kKeyPasswordOptions.begin(), kKeyPasswordOptions.end());
  auto parsed = ParseArgs(args, options, {});
  if (!parsed) return kExitUsage;
  auto key_name = parsed->Value("--key");
  if (!key_name || parsed->positional.size() > 1) {
    PrintError("sign needs --key KEYID and at most one input (see qvx help sign)");
    return kExitUsage;
  }
  KeyStore store(StoreFolder(*parsed));
  auto entry = ResolveKey(store, *key_name, KeyKind::Mine);
  if (!entry) return Fail(entry.error());
  auto input = ReadInput(InputPath(*parsed));
  if (!input) return Fail(input.error());
  CliProtectionKeys keys(*parsed);
  const std::string_view text(reinterpret_cast<const char*>(input->data()), input->size());
  auto signed_text = SignText(text, store, entry->private_path, keys);
  if (!signed_text) return Fail(keys.failure().value_or(signed_text.error()));
  auto written = WriteOutput(OutputPath(*parsed).value_or("-"),
                             reinterpret_cast<const std::uint8_t*>(signed_text->data()), signed_text->size());
  if (!written) return Fail(written.error());
  return kExitOk;
}

// How the signed text was found, for the "Signed text:" line.
const char* FormText(unsigned changes) {
  switch (changes & (kQuotePrefixRemoved | kCrLfRestored)) {
    case kQuotePrefixRemoved: return "with the quote prefix removed";
    case kCrLfRestored: return "with CR LF restored";
    case kQuotePrefixRemoved | kCrLfRestored: return "with the quote prefix removed and CR LF restored";
    default: return "as found";
  }
}

int Verify(const Args& args) {
  std::vector<std::string> options = {"-o", "--output"};
  options.insert(options.end(), kStoreOptions.begin(), kStoreOptions.end());
  auto parsed = ParseArgs(args, options, {"--print-text"});
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() > 1) {
    PrintError("verify takes at most one input");
    return kExitUsage;
  }
  auto input = ReadInput(InputPath(*parsed));
  if (!input) return Fail(input.error());
  KeyStore store(StoreFolder(*parsed));
  const std::string_view text(reinterpret_cast<const char*>(input->data()), input->size());
  auto verified = VerifySignedText(text, store);
  if (!verified) return Fail(verified.error());
  const SignedTextForm& form = verified->signed_text;
  std::fprintf(stderr, "Verification Successful\nKey owner: %s\nKey note: %s\nSigned text: %s bytes, %s\n",
               TerminalSafe(verified->signer.owner).c_str(), TerminalSafe(verified->signer.note).c_str(),
               std::to_string(form.text.size()).c_str(), FormText(form.changes));
  for (const Notice& note : VerificationNotes(*verified)) {
    std::fprintf(stderr, "%s%s\n", note.kind == BoxKind::Warning ? "Warning: " : "", MessageText(note.id));
  }
  if (parsed->Has("--print-text")) {
    std::fflush(stderr);
    const std::string shown = TerminalSafe(form.text);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    if (shown.empty() || shown.back() != '\n') std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  TerminalMessages terminal;
  ShowNotices(terminal, verified->notices);
  if (auto out = OutputPath(*parsed)) {
    auto written = WriteOutput(*out, reinterpret_cast<const std::uint8_t*>(form.text.data()), form.text.size());
    if (!written) return Fail(written.error());
  }
  return kExitOk;
}

const RegisterCommand kRegisterSign({"sign", "append a signature made with one of your keys", kSignUsage, Sign});
const RegisterCommand kRegisterVerify({"verify", "verify a signed text against the signer's key", kVerifyUsage,
                                       Verify});

}  // namespace

}  // namespace qvx::cli
