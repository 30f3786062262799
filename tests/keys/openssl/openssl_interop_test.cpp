// Cross-checks with the openssl command-line tool, which shares no code path
// with our key files: the numbers a key file stores are rebuilt here into
// standard DER keys by a separate reader, and openssl then checks that they
// form a consistent key, that seals and signatures recover to the SHA-256 it
// computes itself, and that PKCS #1 v1.5 encryption works in both directions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/base64.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "keys/generate.h"
#include "keys/messages.h"
#include "keys/key_store_envelopes.h"
#include "engine/checksum.h"
#include "keys/signature.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::TempDir;

// --- A reader of the key file layout written from the format description ---
std::uint32_t Le32(const Bytes& f, std::size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<std::uint32_t>(f[at + 3]) << 24;
}

struct RawKeyFile {
  std::vector<Bytes> numbers;  // n, e, then d, p, q, dmp1, dmq1, iqmp for private files
  std::size_t seal_len_offset = 0;
  Bytes seal;
};

RawKeyFile ParseRaw(const Bytes& f, int count, const Key256* protection) {
  RawKeyFile raw;
  std::size_t pos = 4 + 288;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t len = Le32(f, pos);
    pos += 8;
    const std::size_t stored = i < 2 ? len : (len + 31) / 32 * 32;
    Bytes run(f.begin() + pos, f.begin() + pos + stored);
    if (i >= 2 && protection) Rijndael256(*protection).DecryptBlocks(run.data(), run.size());
    run.resize(len);
    raw.numbers.push_back(run);
    pos += stored;
  }
  raw.seal_len_offset = pos;
  const std::uint32_t seal_len = Le32(f, pos);
  raw.seal.assign(f.begin() + pos + 4, f.begin() + pos + 4 + seal_len);
  return raw;
}

// --- Minimal DER for PKCS #1 RSAPublicKey and RSAPrivateKey ---
Bytes DerLength(std::size_t n) {
  if (n < 128) return {static_cast<std::uint8_t>(n)};
  Bytes digits;
  for (; n > 0; n >>= 8) digits.insert(digits.begin(), static_cast<std::uint8_t>(n));
  digits.insert(digits.begin(), static_cast<std::uint8_t>(0x80 | digits.size()));
  return digits;
}

Bytes DerTagged(std::uint8_t tag, const Bytes& content) {
  Bytes out{tag};
  const Bytes len = DerLength(content.size());
  out.insert(out.end(), len.begin(), len.end());
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes DerInteger(Bytes magnitude) {
  while (magnitude.size() > 1 && magnitude[0] == 0) magnitude.erase(magnitude.begin());
  if (magnitude.empty() || magnitude[0] & 0x80) magnitude.insert(magnitude.begin(), 0);
  return DerTagged(0x02, magnitude);
}

Bytes DerSequence(const std::vector<Bytes>& integers, bool with_version) {
  Bytes content;
  if (with_version) content = DerInteger(Bytes{0});
  for (const auto& i : integers) {
    const Bytes der = DerInteger(i);
    content.insert(content.end(), der.begin(), der.end());
  }
  return DerTagged(0x30, content);
}

// --- Running openssl ---
std::string Quote(const std::string& s) { return "'" + s + "'"; }

int OpenSsl(const std::string& command) {
  const std::string full = std::string(QVX_OPENSSL_PROGRAM) + " " + command + " 2>/dev/null";
  return std::system(full.c_str());
}

Bytes Read(const std::string& path) {
  auto r = NativeFileSystem().ReadFile(path);
  return r ? *r : Bytes();
}

void Write(const std::string& path, const void* data, std::size_t size) {
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(path, static_cast<const std::uint8_t*>(data), size));
}

class OpenSslInterop : public testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override {
    protection_ = PasswordToKey("interop");
    auto made = GenerateKeyPair(store_, GetParam(), "Interop", "openssl", &protection_);
    ASSERT_TRUE(made) << made.error().detail;
    made_ = *made;
    pub_file_ = Read(made_.public_path);
    priv_file_ = Read(made_.private_path);
    pub_raw_ = ParseRaw(pub_file_, 2, nullptr);
    priv_raw_ = ParseRaw(priv_file_, 8, &protection_);
    const Bytes pub_der = DerSequence({pub_raw_.numbers[0], pub_raw_.numbers[1]}, false);
    const Bytes priv_der = DerSequence(priv_raw_.numbers, true);
    Write(dir_.File("pub.der"), pub_der.data(), pub_der.size());
    Write(dir_.File("priv.der"), priv_der.data(), priv_der.size());
    ASSERT_EQ(0, OpenSsl("rsa -RSAPublicKey_in -inform DER -in " + Quote(dir_.File("pub.der")) + " -pubout -out " +
                     Quote(dir_.File("pub.pem"))));
    ASSERT_EQ(0, OpenSsl("rsa -inform DER -in " + Quote(dir_.File("priv.der")) + " -out " + Quote(dir_.File("priv.pem"))));
  }

  // openssl's own SHA-256 of some bytes.
  Bytes OpenSslDigest(const Bytes& data) {
    Write(dir_.File("digest-in.bin"), data.data(), data.size());
    EXPECT_EQ(0, OpenSsl("dgst -sha256 -binary -out " + Quote(dir_.File("digest.bin")) + " " +
                     Quote(dir_.File("digest-in.bin"))));
    return Read(dir_.File("digest.bin"));
  }

  Bytes VerifyRecover(const Bytes& signature) {
    Write(dir_.File("sig.bin"), signature.data(), signature.size());
    EXPECT_EQ(0, OpenSsl("pkeyutl -verifyrecover -pubin -inkey " + Quote(dir_.File("pub.pem")) +
                     " -pkeyopt rsa_padding_mode:pkcs1 -in " + Quote(dir_.File("sig.bin")) + " -out " +
                     Quote(dir_.File("recovered.bin"))));
    return Read(dir_.File("recovered.bin"));
  }

  TempDir dir_;
  KeyStore store_{dir_.path()};
  Key256 protection_;
  GeneratedKey made_;
  Bytes pub_file_, priv_file_;
  RawKeyFile pub_raw_, priv_raw_;
};

TEST_P(OpenSslInterop, StoredNumbersFormAConsistentKey) {
  const std::string out = dir_.File("check.txt");
  ASSERT_EQ(0, OpenSsl("rsa -check -noout -inform DER -in " + Quote(dir_.File("priv.der")) + " -out " + Quote(out) +
                   " > " + Quote(out)));
  const Bytes text = Read(out);
  EXPECT_NE(std::string(text.begin(), text.end()).find("RSA key ok"), std::string::npos);
  EXPECT_EQ(pub_raw_.numbers[0], priv_raw_.numbers[0]);
  EXPECT_EQ(pub_raw_.numbers[0].size() * 8, GetParam());
  EXPECT_EQ(pub_raw_.numbers[1], (Bytes{1, 0, 1}));
}

TEST_P(OpenSslInterop, SealsRecoverToTheFileDigest) {
  for (const auto* file : {&pub_file_, &priv_file_}) {
    const RawKeyFile& raw = file == &pub_file_ ? pub_raw_ : priv_raw_;
    const Bytes sealed(file->begin() + 4, file->begin() + raw.seal_len_offset);
    EXPECT_EQ(VerifyRecover(raw.seal), OpenSslDigest(sealed));
  }
}

TEST_P(OpenSslInterop, SignatureRecoversToTheTextDigest) {
  const std::string text = "Signed text,\r\nchecked by openssl.\r\n";
  FixedProtectionKey keys(protection_);
  SilentMessages messages;
  auto signed_text = SignText(text, store_, made_.private_path, keys);
  ASSERT_TRUE(signed_text) << signed_text.error().detail;
  const std::size_t body = text.size() + kSignatureStartLine.size();
  const std::string wrapped = signed_text->substr(body, signed_text->size() - body - kSignatureEndLine.size());
  auto blob = Base64Decode(RemoveLineBreaks(wrapped));
  ASSERT_TRUE(blob);
  ASSERT_EQ(blob->size(), 60 + GetParam() / 8);
  const Bytes signature(blob->begin() + 60, blob->end());
  EXPECT_EQ(VerifyRecover(signature), OpenSslDigest(Bytes(text.begin(), text.end())));
}

TEST_P(OpenSslInterop, SessionKeyEncryptedByOpenSslDecryptsWithOurKey) {
  ASSERT_EQ(0, OpenSsl("rand -out " + Quote(dir_.File("session.bin")) + " 32"));
  ASSERT_EQ(0, OpenSsl("pkeyutl -encrypt -pubin -inkey " + Quote(dir_.File("pub.pem")) +
                   " -pkeyopt rsa_padding_mode:pkcs1 -in " + Quote(dir_.File("session.bin")) + " -out " +
                   Quote(dir_.File("session.enc"))));
  const Bytes session = Read(dir_.File("session.bin"));
  const Bytes encrypted = Read(dir_.File("session.enc"));
  ASSERT_EQ(session.size(), 32u);
  ASSERT_EQ(encrypted.size(), GetParam() / 8);
  FixedProtectionKey keys(protection_);
  auto key = store_.LoadPrivateKey(made_.private_path, keys);
  ASSERT_TRUE(key) << key.error().detail;
  auto opened = key->key.Decrypt(encrypted.data(), encrypted.size());
  ASSERT_TRUE(opened) << opened.error().detail;
  EXPECT_EQ(Bytes(opened->begin(), opened->end()), session);

  // The same session key inside an RSA envelope, around a payload enciphered
  // under it, opens through the envelope handler.
  Bytes envelope(60, 0);
  const std::uint32_t k = static_cast<std::uint32_t>(encrypted.size());
  for (int i = 0; i < 4; ++i) envelope[4 + i] = static_cast<std::uint8_t>(k >> (8 * i));
  std::copy(made_.header.id.bytes.begin(), made_.header.id.bytes.end(), envelope.begin() + 8);
  const std::uint32_t header_sum = DataChecksum(envelope.data() + 4, 56);
  for (int i = 0; i < 4; ++i) envelope[i] = static_cast<std::uint8_t>(header_sum >> (8 * i));
  envelope.insert(envelope.end(), encrypted.begin(), encrypted.end());
  Bytes payload(96);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
  Bytes sealed = payload;
  Rijndael256(session.data()).EncryptBlocks(sealed.data(), sealed.size());
  envelope.insert(envelope.end(), sealed.begin(), sealed.end());
  SilentMessages messages;
  KeyStoreEnvelopes handler(store_, nullptr, keys);
  auto payload_out = handler.Decrypt(envelope.data(), envelope.size(), EnvelopeContext{nullptr});
  ASSERT_TRUE(payload_out) << payload_out.error().detail;
  EXPECT_EQ(Bytes(payload_out->begin(), payload_out->end()), payload);
}

TEST_P(OpenSslInterop, OurEncryptionDecryptsWithOpenSsl) {
  auto key = store_.LoadPublicKey(made_.public_path);
  ASSERT_TRUE(key);
  Bytes session(32);
  for (std::size_t i = 0; i < session.size(); ++i) session[i] = static_cast<std::uint8_t>(i * 7 + 1);
  auto encrypted = key->key.Encrypt(session.data(), session.size());
  ASSERT_TRUE(encrypted);
  Write(dir_.File("ours.enc"), encrypted->data(), encrypted->size());
  ASSERT_EQ(0, OpenSsl("pkeyutl -decrypt -inkey " + Quote(dir_.File("priv.pem")) +
                   " -pkeyopt rsa_padding_mode:pkcs1 -in " + Quote(dir_.File("ours.enc")) + " -out " +
                   Quote(dir_.File("ours.dec"))));
  EXPECT_EQ(Read(dir_.File("ours.dec")), session);
}

INSTANTIATE_TEST_SUITE_P(Bits, OpenSslInterop, testing::Values(1024u, 2048u));

}  // namespace
}  // namespace qvx
