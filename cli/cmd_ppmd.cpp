// qvx ppmd: raw PPMd variant I streams (order 4, 10 MiB, model restart), the
// codec under the crypto-text payload, for checks against other coders.
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/options.h"
#include "engine/ppmd/ppmd.h"

namespace qvx::cli {
namespace {

constexpr const char kUsage[] =
    "usage: qvx ppmd compress [-o FILE] [FILE]\n"
    "       qvx ppmd decompress [-o FILE] [--max-output SIZE] [FILE]\n"
    "\n"
    "Compresses FILE into a raw PPMd variant I stream (model order 4, 10 MiB of\n"
    "model memory, model restart, end mark), or decompresses such a stream.\n"
    "FILE defaults to standard input, the output (-o) to standard output; an\n"
    "output file is replaced only when the command succeeds. A stream that\n"
    "decodes to more than --max-output bytes (K, M, G suffixes; default 256M)\n"
    "fails as damaged without taking the memory for more.\n";

int Fail(const Error& error, const std::string& context) {
  PrintError(context + ": " + error.detail);
  return ExitCodeFor(error.code);
}

int RunPpmd(const Args& args) {
  if (args.empty() || (args[0] != "compress" && args[0] != "decompress")) {
    PrintError(args.empty() ? "ppmd needs compress or decompress" : "unknown ppmd action '" + args[0] + "'");
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const bool compress = args[0] == "compress";
  std::vector<std::string> values = {"-o", "--output"};
  if (!compress) values.push_back(kMaxOutputOption);
  auto parsed = ParseArgs(Args(args.begin() + 1, args.end()), values, {});
  if (!parsed) return kExitUsage;
  const auto max_output = MaxOutput(*parsed);
  if (!max_output) return kExitUsage;
  if (parsed->positional.size() > 1) {
    PrintError("ppmd takes at most one input file");
    return kExitUsage;
  }
  const std::string input_path = parsed->positional.empty() ? "-" : parsed->positional[0];
  std::string output_path = "-";
  if (auto o = parsed->Value("-o")) output_path = *o;
  if (auto o = parsed->Value("--output")) output_path = *o;
  const std::string input_name = input_path == "-" ? "standard input" : input_path;

  auto input = ReadInput(input_path);
  if (!input) return Fail(input.error(), "cannot read " + input_name);

  SecureBytes output;
  if (compress) {
    const Status st = ppmd::CompressAppend(input->data(), input->size(), output);
    SecureWipe(input->data(), input->size());  // the plaintext
    if (!st) return Fail(st.error(), "cannot compress " + input_name);
  } else {
    auto text = ppmd::Decompress(input->data(), input->size(), ppmd::OutputLimit{*max_output});
    if (!text) return Fail(text.error(), "cannot decompress " + input_name);
    output = std::move(*text);
  }
  std::vector<std::uint8_t>().swap(*input);

  if (Status st = WriteOutput(output_path, output.data(), output.size()); !st) {
    return Fail(st.error(), "cannot write " + (output_path == "-" ? std::string("standard output") : output_path));
  }
  return kExitOk;
}

const RegisterCommand kRegister({"ppmd", "compress or decompress raw PPMd streams", kUsage, RunPpmd});

}  // namespace
}  // namespace qvx::cli
