// Key files byte for byte: round trips for both sizes, layout, and the readers'
// refusal of every damaged, truncated, extended or forged file.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/checksum.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "engine/sha256.h"
#include "keys/byte_io.h"
#include "keys/key_file.h"
#include "tests/keys/test_keys.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::FixKeyFileChecksum;
using test::LayoutOf;
using test::TestKey;

KeyFileHeader SampleHeader(unsigned bits) {
  KeyFileHeader h;
  KeyId::IdBytes id;
  for (int i = 0; i < 16; ++i) id[i] = static_cast<std::uint8_t>(0xA0 + i);
  h.id = KeyId::Make(id, "Alice Example");
  h.created = 0x01D9ABCDEF012345ull;
  h.bits = bits;
  h.owner = "Alice Example";
  h.note = "home key";
  return h;
}

Bytes PublicFile(unsigned bits) {
  auto file = EncodePublicKeyFile(SampleHeader(bits), TestKey(bits));
  EXPECT_TRUE(file) << file.error().detail;
  return *file;
}

Bytes PrivateFile(unsigned bits, const Key256* protection) {
  auto file = EncodePrivateKeyFile(SampleHeader(bits), TestKey(bits), protection);
  EXPECT_TRUE(file) << file.error().detail;
  return Bytes(file->begin(), file->end());
}

Result<RsaKey> LoadPrivate(const Bytes& file, const Key256* protection) {
  auto image = PrivateKeyFileImage::Parse(file.data(), file.size());
  if (!image) return image.error();
  return image->Unlock(protection);
}

class KeyFileSizes : public testing::TestWithParam<unsigned> {};

TEST_P(KeyFileSizes, PublicFileRoundTripAndLayout) {
  const unsigned bits = GetParam();
  const Bytes file = PublicFile(bits);
  const auto layout = LayoutOf(file, false);
  const std::size_t k = bits / 8;
  EXPECT_EQ(layout.n_len, k);
  EXPECT_EQ(layout.e_len, 3u);
  EXPECT_EQ(GetU32(&file[layout.seal_len_field]), k);
  EXPECT_EQ(file.size(), 4 + 288 + 8 + k + 8 + 3 + 4 + k);
  EXPECT_EQ(GetU32(file.data()), DataChecksum(file.data() + 4, file.size() - 4));
  EXPECT_EQ(GetU32(&file[4]), KeyFileHeader::kFlagPublicFile);
  EXPECT_EQ(file[layout.e] * 65536 + file[layout.e + 1] * 256 + file[layout.e + 2], 65537);
  EXPECT_EQ(GetU32(&file[layout.n - 4]), DataChecksum(&file[layout.n], k));
  // The seal is the raw PKCS #1 signature of SHA-256 over bytes 4 up to seal_len.
  auto recovered = TestKey(bits).RecoverRaw(&file[layout.seal], k);
  ASSERT_TRUE(recovered);
  const auto digest = Sha256Of(file.data() + 4, layout.seal_len_field - 4);
  EXPECT_EQ(test::ToHex(*recovered), test::ToHex(digest));

  auto decoded = DecodePublicKeyFile(file.data(), file.size());
  ASSERT_TRUE(decoded) << decoded.error().detail;
  const KeyFileHeader expected = SampleHeader(bits);
  EXPECT_EQ(decoded->header.owner, expected.owner);
  EXPECT_EQ(decoded->header.note, expected.note);
  EXPECT_EQ(decoded->header.id, expected.id);
  EXPECT_EQ(decoded->header.created, expected.created);
  EXPECT_EQ(decoded->header.bits, bits);
  EXPECT_TRUE(decoded->header.IsPublicFile());
  EXPECT_FALSE(decoded->header.IsProtected());
  EXPECT_EQ(decoded->key.PublicNumbers()->n, TestKey(bits).PublicNumbers()->n);
  EXPECT_FALSE(decoded->key.has_private());
}

TEST_P(KeyFileSizes, PrivateFileRoundTripPlainAndProtected) {
  const unsigned bits = GetParam();
  const Key256 password = PasswordToKey("correct horse");
  const auto original = TestKey(bits).PrivateNumbers();
  ASSERT_TRUE(original);
  for (const Key256* protection : {static_cast<const Key256*>(nullptr), &password}) {
    const Bytes file = PrivateFile(bits, protection);
    const auto layout = LayoutOf(file, true);
    EXPECT_EQ(GetU32(&file[4]), protection ? KeyFileHeader::kFlagProtected : 0u);
    const SecureBytes* secrets[] = {&original->d,    &original->p,    &original->q,
                                    &original->dmp1, &original->dmq1, &original->iqmp};
    for (int i = 0; i < 6; ++i) {
      const SecureBytes& plain = *secrets[i];
      ASSERT_EQ(layout.secret_len[i], plain.size());
      EXPECT_EQ(GetU32(&file[layout.secrets[i] - 4]), DataChecksum(plain.data(), plain.size()));
      Bytes run(file.begin() + layout.secrets[i],
                file.begin() + layout.secrets[i] + RoundUpToBlocks(plain.size()));
      if (protection) {
        EXPECT_NE(0, std::memcmp(run.data(), plain.data(), plain.size()));
        Rijndael256(*protection).DecryptBlocks(run.data(), run.size());
      }
      // Stored in clear (or deciphered): the number, then zero padding.
      EXPECT_EQ(0, std::memcmp(run.data(), plain.data(), plain.size())) << i;
      for (std::size_t j = plain.size(); j < run.size(); ++j) EXPECT_EQ(run[j], 0);
    }
    auto key = LoadPrivate(file, protection);
    ASSERT_TRUE(key) << key.error().detail;
    const auto numbers = key->PrivateNumbers();
    ASSERT_TRUE(numbers);
    EXPECT_EQ(numbers->d, original->d);
    EXPECT_EQ(numbers->iqmp, original->iqmp);
    // The loaded key works with the original one.
    const std::uint8_t secret[32] = {1, 2, 3};
    auto sealed = TestKey(bits).Encrypt(secret, sizeof secret);
    ASSERT_TRUE(sealed);
    auto opened = key->Decrypt(sealed->data(), sealed->size());
    ASSERT_TRUE(opened);
    EXPECT_EQ(0, std::memcmp(opened->data(), secret, sizeof secret));
  }
}

INSTANTIATE_TEST_SUITE_P(Bits, KeyFileSizes, testing::Values(1024u, 2048u));

// Every single byte of a key file changed, with the file checksum left as it
// was and with it recomputed: never accepted.
TEST(KeyFileTamper, EveryByteOfPublicAndPrivateFiles) {
  const Key256 password = PasswordToKey("pw");
  struct Case {
    const char* name;
    Bytes file;
    bool is_private;
  };
  const Case cases[] = {{"public", PublicFile(1024), false},
                        {"private plain", PrivateFile(1024, nullptr), true},
                        {"private protected", PrivateFile(1024, &password), true}};
  for (const auto& c : cases) {
    for (std::size_t i = 0; i < c.file.size(); ++i) {
      for (bool fix : {false, true}) {
        if (fix && i < 4) continue;
        Bytes damaged = c.file;
        damaged[i] ^= 0x01;
        if (fix) FixKeyFileChecksum(damaged);
        if (c.is_private) {
          auto key = LoadPrivate(damaged, &password);
          ASSERT_FALSE(key) << c.name << " byte " << i << " fix " << fix;
          ASSERT_EQ(key.code(), Errc::Corrupted) << c.name << " byte " << i;
        } else {
          auto key = DecodePublicKeyFile(damaged.data(), damaged.size());
          ASSERT_FALSE(key) << c.name << " byte " << i << " fix " << fix;
          ASSERT_EQ(key.code(), Errc::Corrupted);
        }
      }
    }
  }
}

TEST(KeyFileTamper, TruncatedAndExtendedFiles) {
  for (bool is_private : {false, true}) {
    const Bytes file = is_private ? PrivateFile(1024, nullptr) : PublicFile(1024);
    auto rejects = [&](const Bytes& candidate) {
      if (is_private) return !PrivateKeyFileImage::Parse(candidate.data(), candidate.size());
      return !DecodePublicKeyFile(candidate.data(), candidate.size());
    };
    for (std::size_t size = 0; size < file.size(); ++size) {
      Bytes cut(file.begin(), file.begin() + size);
      ASSERT_TRUE(rejects(cut)) << size;
      if (size >= 4) {
        FixKeyFileChecksum(cut);
        ASSERT_TRUE(rejects(cut)) << size;
      }
    }
    for (std::size_t extra : {1u, 4u, 32u, 4096u}) {
      Bytes longer = file;
      longer.resize(file.size() + extra, 0);
      FixKeyFileChecksum(longer);
      EXPECT_TRUE(rejects(longer)) << extra;
    }
  }
}

// Length fields rewritten to values that point outside the file or beyond the
// modulus, with a correct file checksum: rejected without reading past the
// buffer (the sanitizer build checks the latter).
TEST(KeyFileTamper, ForgedLengths) {
  const Bytes file = PrivateFile(1024, nullptr);
  const auto l = LayoutOf(file, true);
  struct Forge {
    std::size_t field;
    std::uint32_t value;
  };
  std::vector<Forge> forges = {
      {l.n - 8, 0},          {l.n - 8, 0xFFFFFFFFu},       {l.n - 8, 513},
      {l.n - 8, 63},         {l.n - 8, static_cast<std::uint32_t>(file.size())},
      {l.e - 8, 0},          {l.e - 8, 129},               {l.e - 8, 0xFFFFFFF0u},
      {l.seal_len_field, 0}, {l.seal_len_field, 127},      {l.seal_len_field, 0xFFFFFFFFu},
  };
  for (int i = 0; i < 6; ++i) {
    forges.push_back({l.secrets[i] - 8, 0});
    forges.push_back({l.secrets[i] - 8, 129});
    forges.push_back({l.secrets[i] - 8, 0x7FFFFFFFu});
  }
  for (const auto& f : forges) {
    Bytes forged = file;
    PutU32(&forged[f.field], f.value);
    FixKeyFileChecksum(forged);
    EXPECT_FALSE(PrivateKeyFileImage::Parse(forged.data(), forged.size()))
        << "field " << f.field << " value " << f.value;
    EXPECT_FALSE(DecodePublicKeyFile(forged.data(), forged.size()));
  }
}

TEST(KeyFilePassword, WrongMissingAndZeroKeys) {
  const Key256 password = PasswordToKey("right");
  const Bytes file = PrivateFile(1024, &password);
  auto image = PrivateKeyFileImage::Parse(file.data(), file.size());
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->header().IsProtected());
  const Key256 wrong = PasswordToKey("Right");
  EXPECT_EQ(image->Unlock(&wrong).code(), Errc::WrongPassword);
  const Key256 zero;
  EXPECT_EQ(image->Unlock(&zero).code(), Errc::WrongPassword);
  EXPECT_EQ(image->Unlock(nullptr).code(), Errc::InvalidArgument);
  EXPECT_TRUE(image->Unlock(&password));
  // An unprotected file ignores a key it is given.
  const Bytes plain = PrivateFile(1024, nullptr);
  EXPECT_TRUE(LoadPrivate(plain, &wrong));
}

TEST(KeyFileKinds, OneFormIsNotTheOther) {
  const Bytes pub = PublicFile(1024);
  const Bytes priv = PrivateFile(1024, nullptr);
  EXPECT_FALSE(PrivateKeyFileImage::Parse(pub.data(), pub.size()));
  EXPECT_FALSE(DecodePublicKeyFile(priv.data(), priv.size()));
}

TEST(KeyFileHeader, FieldsLimitsAndTerminators) {
  KeyFileHeader h = SampleHeader(1024);
  h.owner = std::string(79, 'O');
  h.note = std::string(127, 'N');
  h.reserved = 7;
  h.flags = 3;
  std::uint8_t raw[KeyFileHeader::kSize];
  h.Write(raw);
  for (int i = 68; i < 76; ++i) EXPECT_EQ(raw[i], 0);
  EXPECT_EQ(raw[80 + 79], 0);
  EXPECT_EQ(raw[160 + 127], 0);
  auto back = KeyFileHeader::Read(raw);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->owner, h.owner);
  EXPECT_EQ(back->note, h.note);
  EXPECT_EQ(back->reserved, 7u);
  EXPECT_EQ(back->flags, 3u);
  EXPECT_EQ(back->created, h.created);
  // Longer texts are cut to their fields.
  h.owner = std::string(100, 'o');
  h.Write(raw);
  EXPECT_EQ(KeyFileHeader::Read(raw)->owner, std::string(79, 'o'));
  // A field without its terminator is refused.
  std::uint8_t bad[KeyFileHeader::kSize];
  std::memcpy(bad, raw, sizeof bad);
  std::memset(bad + 80, 'x', 80);
  EXPECT_EQ(KeyFileHeader::Read(bad).code(), Errc::Corrupted);
  std::memcpy(bad, raw, sizeof bad);
  std::memset(bad + 160, 'x', 128);
  EXPECT_EQ(KeyFileHeader::Read(bad).code(), Errc::Corrupted);
  // Header-only reading needs the whole header.
  Bytes file = PublicFile(1024);
  EXPECT_TRUE(ReadKeyFileHeader(file.data(), 292));
  EXPECT_FALSE(ReadKeyFileHeader(file.data(), 291));
}

}  // namespace
}  // namespace qvx
