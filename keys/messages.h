// How the key operations report to the user: by string-table id through a
// MessageSink, at the point where the failure is found. Callers get the same
// failure as a Result as well, to decide what to do next.
#pragma once

#include "platform/result.h"
#include "platform/ui.h"

namespace qvx {

// A public key that failed to load: "Error open public key!" when it could not
// be read, "Public key file is corrupted!" when it failed its checks.
void ReportPublicKeyLoadFailure(MessageSink& messages, const Error& error);

// A private key that failed to load, as its users report it: "Privat key is
// corrupted!" for damage or a wrong password, then "Error open privat file!".
// Nothing when the user cancelled the password question.
void ReportPrivateKeyLoadFailure(MessageSink& messages, const Error& error);

}  // namespace qvx
