// Reading a secret from the terminal without echo (qvx's password prompt).
#pragma once

#include <string>

#include "platform/result.h"
#include "platform/secure.h"

namespace qvx {

// Shows the prompt on stderr and reads one line from the terminal with echo
// off. Fails (InvalidArgument) when standard input is not a terminal.
Result<SecureString> ReadSecretLine(const std::string& prompt);

}  // namespace qvx
