// Reading a secret from the terminal without echo (qvx's password prompt), and
// the byte-exact standard streams qvx reads and writes data through.
#pragma once

#include <string>

#include "platform/result.h"
#include "platform/secure.h"

namespace qvx {

// Shows the prompt on stderr and reads one line from the terminal with echo
// off. Fails (InvalidArgument) when standard input is not a terminal.
Result<SecureString> ReadSecretLine(const std::string& prompt);

// Switches standard input and output to binary: every byte passes unchanged
// (no line-ending or end-of-file translation on Windows). Call before the
// first read or write.
void UseBinaryStandardStreams();

}  // namespace qvx
