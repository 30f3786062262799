// How the key operations tell the user about a key that failed to load: the
// failure comes back with its messages by string id (platform/result.h), in
// the order of the boxes, and the layer that talks to the user shows them.
#pragma once

#include "platform/result.h"

namespace qvx {

// A public key that failed to load, with "Error open public key!" when it
// could not be read or "Public key file is corrupted!" when it failed its
// checks.
Error PublicKeyLoadFailure(Error error);

// A private key that failed to load, as its users report it: "Key load
// error!" when the file could not be read, "Privat key is corrupted!" for
// damage or a wrong password, each followed by "Error open privat file!".
// No message when the user cancelled the password question.
Error PrivateKeyLoadFailure(Error error);

}  // namespace qvx
