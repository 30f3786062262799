// Signing texts and verifying signed texts.
#include "keys/signature.h"

#include <algorithm>
#include <cstring>

#include "engine/base64.h"
#include "engine/sha256.h"
#include "keys/byte_io.h"
#include "keys/key_file.h"
#include "keys/key_identity.h"
#include "keys/messages.h"

namespace qvx {

Result<Bytes> MakeSignatureBlob(std::string_view text, const KeyId& signer, const RsaKey& private_key) {
  const auto digest = Sha256Of(text);
  auto signature = private_key.SignRaw(digest.data(), digest.size());
  if (!signature) return signature.error();
  Bytes blob(kSignatureBlobHeaderSize, 0);
  PutU32(blob.data() + 4, static_cast<std::uint32_t>(kSignatureBlobHeaderSize + signature->size()));
  std::memcpy(blob.data() + 8, signer.bytes.data(), KeyId::kSize);
  blob.insert(blob.end(), signature->begin(), signature->end());
  return blob;
}

bool CheckSignatureBlob(std::string_view text, const std::uint8_t* blob, std::size_t size,
                        const RsaKey& public_key) {
  if (size <= kSignatureBlobHeaderSize || GetU32(blob + 4) != size) return false;
  auto recovered = public_key.RecoverRaw(blob + kSignatureBlobHeaderSize, size - kSignatureBlobHeaderSize);
  if (!recovered) return false;
  const auto digest = Sha256Of(text);
  return recovered->size() == digest.size() &&
         std::memcmp(recovered->data(), digest.data(), digest.size()) == 0;
}

std::string AppendSignatureBlock(std::string_view text, const Bytes& blob) {
  std::string out(text);
  out += kSignatureStartLine;
  out += WrapBase64Lines(Base64Encode(blob));
  out += kSignatureEndLine;
  return out;
}

Result<SignatureBlock> ReadSignatureBlock(std::string_view text) {
  if (!FindMarkerLine(text, kSignatureMarkers.start)) {
    return MakeError(Errc::NotFound, Msg::SignatureStartNotFound, BoxKind::Plain, {}, "no signature in the text");
  }
  const auto span = FindArmour(text, kSignatureMarkers);
  if (!span) {
    return MakeError(Errc::NotFound, Msg::SignatureEndNotFound, BoxKind::Plain, {},
                     "the signature has no end line");
  }
  SignatureBlock block;
  // The signed text ends where the start line begins, less one line break.
  block.signed_length = span->start;
  block.span = *span;

  const auto body = CollectArmourBody(text, *span);
  auto blob = body ? Base64Decode(*body) : std::nullopt;
  // The blob must be exactly its header and one signature of a key size the
  // key files allow, with the fields as written.
  if (!blob || blob->size() <= kSignatureBlobHeaderSize ||
      blob->size() > kSignatureBlobHeaderSize + kMaxModulusSize || GetU32(blob->data()) != 0 ||
      GetU32(blob->data() + 4) != blob->size()) {
    return MakeError(Errc::Corrupted, Msg::VerificationFailed, BoxKind::Error, {},
                     "the signature block is damaged");
  }
  block.signer = KeyId::FromBytes(blob->data() + 8);
  block.blob = std::move(*blob);
  return block;
}

namespace {

// Calls f(line, line_break) for each line of text; lines end at CR LF, CR or
// LF, and the text's end closes the last line (which may be empty).
template <class F>
void ForEachLine(std::string_view text, F&& f) {
  std::size_t pos = 0;
  for (;;) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    const std::size_t brk = LineBreakSize(text, end);
    f(text.substr(pos, end - pos), text.substr(end, brk));
    if (brk == 0) return;
    pos = end + brk;
  }
}

std::string_view WithoutTrailingBlanks(std::string_view s) {
  while (!s.empty() && IsArmourBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// True when every line of text begins with prefix or is prefix without its
// trailing blanks.
bool EveryLineCarries(std::string_view text, std::string_view prefix) {
  const std::string_view bare = WithoutTrailingBlanks(prefix);
  bool all = true;
  ForEachLine(text, [&](std::string_view line, std::string_view) {
    all = all && (StartsWith(line, prefix) || line == bare);
  });
  return all;
}

std::string WithoutPrefix(std::string_view text, std::string_view prefix) {
  std::string out;
  out.reserve(text.size());
  if (text.empty()) return out;
  ForEachLine(text, [&](std::string_view line, std::string_view line_break) {
    if (StartsWith(line, prefix)) out += line.substr(prefix.size());
    out += line_break;
  });
  return out;
}

// CR LF for every `lone` line break (LF or CR) of a text that has no other kind.
std::string WithCrLf(std::string_view text, char lone) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == lone) {
      out += "\r\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// True when a text holds only line breaks, blanks and quote characters.
bool OnlyBlanksAndQuotes(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == '\r' || c == '\n' || IsArmourPrefixChar(c); });
}

}  // namespace

TextAfterSignature TextAfterBlock(std::string_view text, const SignatureBlock& block) {
  const std::string_view after = text.substr(std::min(block.span.end, text.size()));
  if (OnlyBlanksAndQuotes(after)) return TextAfterSignature::kNothing;
  return FindMarkerLine(after, kSignatureMarkers.start) ? TextAfterSignature::kSignature
                                                        : TextAfterSignature::kText;
}

std::vector<Notice> VerificationNotes(const VerifiedSignature& verified) {
  std::vector<Notice> notes;
  auto add = [&](Msg id, BoxKind kind) { notes.push_back(Notice{id, kind, {}}); };
  if ((verified.signed_text.changes & kQuotePrefixRemoved) != 0) add(Msg::SignedTextVerifiedUnquoted, BoxKind::Plain);
  if ((verified.signed_text.changes & kCrLfRestored) != 0) add(Msg::SignedTextVerifiedCrLf, BoxKind::Plain);
  switch (verified.after) {
    case TextAfterSignature::kNothing: break;
    case TextAfterSignature::kText: add(Msg::TextFollowsSignature, BoxKind::Warning); break;
    case TextAfterSignature::kSignature: add(Msg::SignatureFollowsSignature, BoxKind::Warning); break;
  }
  return notes;
}

std::vector<SignedTextForm> SignedTextForms(std::string_view text, const SignatureBlock& block) {
  std::vector<SignedTextForm> forms;
  auto add = [&](std::string form, unsigned changes) {
    for (const SignedTextForm& f : forms) {
      if (f.text == form) return;
    }
    forms.push_back({std::move(form), changes});
  };
  const std::size_t signed_length = std::min(block.signed_length, text.size());
  const std::string_view as_found = text.substr(0, signed_length);
  add(std::string(as_found), kSignedTextAsFound);

  // The text up to the end of the block's end line shows what happened to
  // the whole signed text.
  const MarkerLine& start_line = block.span.start_line;
  const std::size_t block_end = block.span.end_line.content_end;
  if (block_end > text.size() || block_end < signed_length || start_line.line_begin > start_line.marker ||
      start_line.marker > block_end) {
    return forms;  // not a block of this text
  }
  const std::string_view whole = text.substr(0, block_end);
  const std::string_view prefix = block.span.Prefix(text);
  if (!prefix.empty() && EveryLineCarries(whole, prefix)) {
    add(WithoutPrefix(as_found, prefix), kQuotePrefixRemoved);
  }
  const bool has_cr = whole.find('\r') != std::string_view::npos;
  const bool has_lf = whole.find('\n') != std::string_view::npos;
  if (has_cr != has_lf) {
    const char lone = has_lf ? '\n' : '\r';
    const std::size_t found = forms.size();
    for (std::size_t i = 0; i < found; ++i) {
      add(WithCrLf(forms[i].text, lone), forms[i].changes | kCrLfRestored);
    }
  }
  return forms;
}

Result<std::string> SignText(std::string_view text, const KeyStore& store,
                             const std::string& private_path, ProtectionKeySource& keys) {
  if (!store.files().FileExists(private_path)) {
    return MakeError(Errc::NotFound, Msg::KeyNotFound, BoxKind::Plain, {}, "no private key file " + private_path);
  }
  auto key = store.LoadPrivateKey(private_path, keys);
  if (!key) return PrivateKeyLoadFailure(key.error());
  auto blob = MakeSignatureBlob(text, key->header.id, key->key);
  if (!blob) return Error(blob.error()).Then(Msg::SignError, BoxKind::Error);
  return AppendSignatureBlock(text, *blob);
}

Result<VerifiedSignature> VerifySignedText(std::string_view text, const KeyStore& store) {
  auto block = ReadSignatureBlock(text);
  if (!block) return block.error();
  auto public_path = store.FindPublicKeyFile(block->signer);
  if (!public_path) {
    return MakeError(Errc::NotFound, Msg::DecryptionKeyNotFound, BoxKind::Error, {},
                     "the signer's public key is not in the store");
  }
  auto key = store.LoadPublicKey(*public_path);
  if (key && key->header.id != block->signer) {
    key = MakeError(Errc::Corrupted, "the public key file holds another key");
  }
  if (!key) return PublicKeyLoadFailure(key.error()).Then(Msg::PrivateKeyOpenError, BoxKind::Error);
  for (SignedTextForm& form : SignedTextForms(text, *block)) {
    if (CheckSignatureBlob(form.text, block->blob.data(), block->blob.size(), key->key)) {
      VerifiedSignature verified{std::move(key->header), *public_path, block->signed_length,
                                 std::move(form), TextAfterBlock(text, *block), {}};
      if (auto warning = ShortKeyNotice(key->key, verified.signer, Msg::ShortKeyVerifyWarning)) {
        verified.notices.push_back(std::move(*warning));
      }
      return verified;
    }
  }
  return MakeError(Errc::Corrupted, Msg::VerificationFailed, BoxKind::Error, {},
                   "the signature does not match the text");
}

}  // namespace qvx
