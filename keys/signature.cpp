// Signing texts and verifying signed texts.
#include "keys/signature.h"

#include <cstring>

#include "engine/base64.h"
#include "engine/sha256.h"
#include "keys/byte_io.h"
#include "keys/key_file.h"
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

Result<SignatureBlock> ReadSignatureBlock(std::string_view text, MessageSink& messages) {
  const std::size_t body_start = FindAfter(text, kSignatureStartMarker);
  if (body_start == std::string_view::npos) {
    messages.Show(Msg::SignatureStartNotFound, BoxKind::Plain);
    return MakeError(Errc::NotFound, "no signature in the text");
  }
  const std::size_t end_after = FindAfter(text, kSignatureEndMarker, body_start);
  if (end_after == std::string_view::npos) {
    messages.Show(Msg::SignatureEndNotFound, BoxKind::Plain);
    return MakeError(Errc::NotFound, "the signature has no end line");
  }
  SignatureBlock block;
  // The signed text ends where the start marker begins, less one line break.
  std::size_t cut = body_start - kSignatureStartMarker.size();
  if (cut > 0 && text[cut - 1] == '\n') --cut;
  if (cut > 0 && text[cut - 1] == '\r') --cut;
  block.signed_length = cut;

  const std::string_view body =
      text.substr(body_start, end_after - kSignatureEndMarker.size() - body_start);
  auto blob = Base64Decode(RemoveLineBreaks(body));
  // The blob must be exactly its header and one signature of a key size the
  // key files allow, with the fields as written.
  if (!blob || blob->size() <= kSignatureBlobHeaderSize ||
      blob->size() > kSignatureBlobHeaderSize + kMaxModulusSize || GetU32(blob->data()) != 0 ||
      GetU32(blob->data() + 4) != blob->size()) {
    messages.Show(Msg::VerificationFailed, BoxKind::Error);
    return MakeError(Errc::Corrupted, "the signature block is damaged");
  }
  block.signer = KeyId::FromBytes(blob->data() + 8);
  block.blob = std::move(*blob);
  return block;
}

Result<std::string> SignText(std::string_view text, const KeyStore& store,
                             const std::string& private_path, ProtectionKeySource& keys,
                             MessageSink& messages) {
  if (!store.files().FileExists(private_path)) {
    messages.Show(Msg::KeyNotFound, BoxKind::Plain);
    return MakeError(Errc::NotFound, "no private key file " + private_path);
  }
  auto key = store.LoadPrivateKey(private_path, keys);
  if (!key) {
    ReportPrivateKeyLoadFailure(messages, key.error());
    return key.error();
  }
  auto blob = MakeSignatureBlob(text, key->header.id, key->key);
  if (!blob) {
    messages.Show(Msg::SignError, BoxKind::Error);
    return blob.error();
  }
  return AppendSignatureBlock(text, *blob);
}

Result<VerifiedSignature> VerifySignedText(std::string_view text, const KeyStore& store,
                                           MessageSink& messages) {
  auto block = ReadSignatureBlock(text, messages);
  if (!block) return block.error();
  auto public_path = store.FindPublicKeyFile(block->signer);
  if (!public_path) {
    messages.Show(Msg::DecryptionKeyNotFound, BoxKind::Error);
    return MakeError(Errc::NotFound, "the signer's public key is not in the store");
  }
  auto key = store.LoadPublicKey(*public_path);
  if (key && key->header.id != block->signer) {
    key = MakeError(Errc::Corrupted, "the public key file holds another key");
  }
  if (!key) {
    ReportPublicKeyLoadFailure(messages, key.error());
    messages.Show(Msg::PrivateKeyOpenError, BoxKind::Error);
    return key.error();
  }
  if (!CheckSignatureBlob(text.substr(0, block->signed_length), block->blob.data(),
                          block->blob.size(), key->key)) {
    messages.Show(Msg::VerificationFailed, BoxKind::Error);
    return MakeError(Errc::Corrupted, "the signature does not match the text");
  }
  return VerifiedSignature{std::move(key->header), *public_path, block->signed_length};
}

}  // namespace qvx
