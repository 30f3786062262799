// qvx key insert / qvx key read: public keys carried in text.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/key_support.h"
#include "cli/terminal_support.h"
#include "keys/public_key_block.h"

namespace qvx::cli {

namespace {

const char kUsage[] =
    "usage: qvx key insert --key KEYID [-o OUTPUT] [INPUT]\n"
    "       qvx key read [--yes] [INPUT]\n"
    "\n"
    "insert  writes the public key block of one of your own keys: appended to the text\n"
    "        of INPUT (\"-\" for standard input), or alone when no INPUT is given; refused\n"
    "        when the pair's public key file holds another key than its private file\n"
    "read    stores the public key of the first public key block in the text (INPUT or\n"
    "        standard input) in the store's public folder; an existing key file of the\n"
    "        same owner and id is replaced only with --yes (a different key under that\n"
    "        id after a warning with both fingerprints), never one of your own pairs\n"
    "Both take --store DIR (default: $QVX_STORE, else the program's folder).\n";

int Insert(const Args& args) {
  std::vector<std::string> options = {"--key", "-o", "--output"};
  options.insert(options.end(), kStoreOptions.begin(), kStoreOptions.end());
  auto parsed = ParseArgs(args, options, {});
  if (!parsed) return kExitUsage;
  auto key_name = parsed->Value("--key");
  if (!key_name || parsed->positional.size() > 1) {
    PrintError("key insert needs --key KEYID and at most one input (see qvx help key)");
    return kExitUsage;
  }
  KeyStore store(StoreFolder(*parsed));
  auto entry = ResolveKey(store, *key_name, KeyKind::Mine);
  if (!entry) return Fail(entry.error());
  std::string text;
  if (!parsed->positional.empty()) {
    auto input = ReadInput(parsed->positional[0]);
    if (!input) return Fail(input.error());
    text.assign(input->begin(), input->end());
  }
  auto block = MakeMyPublicKeyBlock(store, entry->private_path);
  if (!block) return Fail(block.error());
  text += *block;
  auto out = parsed->Value("-o");
  if (!out) out = parsed->Value("--output");
  auto written = WriteOutput(out.value_or("-"), reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (!written) return Fail(written.error());
  return kExitOk;
}

int Read(const Args& args) {
  auto parsed = ParseArgs(args, kStoreOptions, {"--yes"});
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() > 1) {
    PrintError("key read takes at most one input");
    return kExitUsage;
  }
  TerminalMessages messages(parsed->Has("--yes"));
  auto input = ReadInput(parsed->positional.empty() ? "-" : parsed->positional[0]);
  if (!input) return Fail(input.error());
  KeyStore store(StoreFolder(*parsed));
  const std::string_view text(reinterpret_cast<const char*>(input->data()), input->size());
  auto imported = ImportPublicKeyBlock(text, store, messages);
  if (!imported) return Fail(imported.error());
  std::printf("%s\n", imported->header.id.Text().c_str());
  std::fprintf(stderr, "%s: %s %s\n", MessageText(Msg::OperationOk),
               imported->outcome == PublicKeyImportOutcome::KeptExisting ? "kept the stored key of"
                                                                          : "stored the public key of",
               TerminalSafe(imported->header.owner).c_str());
  return kExitOk;
}

int Run(const Args& args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const Args rest(args.begin() + 1, args.end());
  if (args[0] == "insert") return Insert(rest);
  if (args[0] == "read") return Read(rest);
  PrintError("unknown subcommand key " + args[0] + " (see qvx help key)");
  return kExitUsage;
}

const RegisterCommand kRegister({"key", "insert your public key into a text, or read one from it", kUsage, Run});

}  // namespace

}  // namespace qvx::cli
