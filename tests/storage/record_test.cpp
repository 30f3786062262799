// Password records: layout byte for byte, text limits, tampering, and records
// laid out by another writer of the same format.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>

#include "engine/checksum.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "engine/sha256.h"
#include "storage/record.h"
#include "tests/support/test_util.h"

namespace qvx::storage {
namespace {

// Owner, password and note are the user's secrets: every text of a record,
// as read and as the storage list shows it, lives in wiped memory.
static_assert(std::is_same_v<decltype(RecordContents::owner), SecureString>);
static_assert(std::is_same_v<decltype(RecordContents::password), SecureString>);
static_assert(std::is_same_v<decltype(RecordContents::note), SecureString>);

Key256 KeyOf(std::string_view password) { return PasswordToKey(password); }

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

// The deciphered bytes of a whole-block field of a record.
std::vector<std::uint8_t> Decipher(const RecordBytes& r, const Rijndael256& c, std::size_t offset,
                                   std::size_t size) {
  std::vector<std::uint8_t> field(r.begin() + offset, r.begin() + offset + size);
  c.DecryptBlocks(field.data(), size);
  return field;
}

// A record as another writer of the format lays it out: zero filler, and the
// password's third block enciphered over whatever follows the field.
RecordBytes ForeignRecord(const Rijndael256& c, std::string_view owner, std::string_view password,
                          std::string_view note, FileTime time, std::uint8_t spill_fill) {
  RecordBytes r{};
  std::uint8_t owner_field[128] = {};
  std::memcpy(owner_field, owner.data(), owner.size());
  c.EncryptBlocks(owner_field, sizeof owner_field);
  std::uint8_t password_span[96] = {};
  std::memcpy(password_span, password.data(), std::min<std::size_t>(password.size(), 79));
  std::memset(password_span + 80, spill_fill, 16);
  c.EncryptBlocks(password_span, sizeof password_span);
  std::uint8_t note_field[256] = {};
  std::memcpy(note_field, note.data(), note.size());
  c.EncryptBlocks(note_field, sizeof note_field);
  StoreLe64(r.data(), time);
  StoreLe32(r.data() + 8, DataChecksum(owner));
  std::memcpy(r.data() + 12, owner_field, 128);
  StoreLe32(r.data() + 140, DataChecksum(password));
  std::memcpy(r.data() + 144, password_span, 80);
  StoreLe32(r.data() + 224, DataChecksum(note));
  std::memcpy(r.data() + 228, note_field, 256);
  return r;
}

TEST(Record, LayoutOfEveryField) {
  static_assert(kRecordSize == 484);
  static_assert(kOwnerOffset + kOwnerFieldSize == kPasswordCheckOffset);
  static_assert(kPasswordOffset + kPasswordFieldSize == kNoteCheckOffset);
  const Key256 key = KeyOf("account password");
  const Rijndael256 cipher(key);
  const FileTime time = 0x01D9A1B2C3D4E5F6ull;
  RecordBytes r{};
  ASSERT_TRUE(EncodeRecord(r, cipher, "Bank", "pin-1234", "savings", time));

  // Time, little-endian at 0.
  EXPECT_EQ(test::ToHex(r.data(), 8), "f6e5d4c3b2a1d901");
  // Check values at 8, 140, 224: DataChecksum of each text.
  EXPECT_EQ(LoadLe32(r.data() + 8), DataChecksum("Bank"));
  EXPECT_EQ(LoadLe32(r.data() + 140), DataChecksum("pin-1234"));
  EXPECT_EQ(LoadLe32(r.data() + 224), DataChecksum("savings"));

  struct Field {
    const char* text;
    std::size_t offset, size;  // the password field: only its first two blocks decipher again
  };
  for (const Field f : {Field{"Bank", 12, 128}, Field{"pin-1234", 144, 64}, Field{"savings", 228, 256}}) {
    SCOPED_TRACE(f.text);
    const std::size_t n = std::strlen(f.text);
    const auto plain = Decipher(r, cipher, f.offset, f.size);
    EXPECT_EQ(std::string(plain.begin(), plain.begin() + n), f.text);
    EXPECT_EQ(plain[n], 0);
    // Filler stops before the field's last byte, which stays zero.
    if (f.size != 64) {
      EXPECT_EQ(plain[f.size - 1], 0);
    }
    // Random filler follows the zero.
    int nonzero = 0;
    for (std::size_t i = n + 1; i < 64; ++i) nonzero += plain[i] != 0;
    EXPECT_GT(nonzero, 20);
  }
}

TEST(Record, FillerCoversWholeWordsOnly) {
  // Filler is count/2 16-bit words from the byte after the zero, where count
  // is the field size - 2 - length: an odd count leaves one more zero byte.
  const Key256 key = KeyOf("k");
  const Rijndael256 cipher(key);
  struct Case {
    std::size_t owner_length;
    std::size_t filler_bytes;
  };
  for (const Case c : {Case{0, 126}, Case{1, 124}, Case{2, 124}, Case{124, 2}, Case{125, 0},
                       Case{126, 0}, Case{127, 0}}) {
    SCOPED_TRACE(c.owner_length);
    // Random filler may hold zeros; the bytes it does not cover must all be zero.
    for (int attempt = 0; attempt < 3; ++attempt) {
      RecordBytes r{};
      ASSERT_TRUE(EncodeRecord(r, cipher, Repeat('o', c.owner_length), "", "", 0));
      const auto plain = Decipher(r, cipher, 12, 128);
      for (std::size_t i = c.owner_length + 1 + c.filler_bytes; i < 128; ++i) {
        ASSERT_EQ(plain[i], 0) << "byte " << i;
      }
    }
  }
}

TEST(Record, TextLimits) {
  const Key256 key = KeyOf("limits");
  const Rijndael256 cipher(key);
  struct Case {
    std::size_t owner, password, note;
    bool fits;
  };
  for (const Case c : {Case{0, 0, 0, true}, Case{127, 63, 255, true}, Case{1, 1, 1, true},
                       Case{128, 10, 10, false}, Case{10, 64, 10, false},
                       Case{10, 79, 10, false}, Case{10, 10, 256, false}}) {
    SCOPED_TRACE(testing::Message() << c.owner << "/" << c.password << "/" << c.note);
    const std::string owner = Repeat('O', c.owner), password = Repeat('p', c.password),
                      note = Repeat('n', c.note);
    RecordBytes r{};
    const Status s = EncodeRecord(r, cipher, owner, password, note, 42);
    ASSERT_EQ(s.ok(), c.fits);
    if (!c.fits) {
      EXPECT_EQ(s.code(), Errc::InvalidArgument);
      continue;
    }
    auto back = DecodeRecord(r, cipher);
    ASSERT_TRUE(back) << back.error().detail;
    EXPECT_EQ(back->owner.view(), owner);
    EXPECT_EQ(back->password.view(), password);
    EXPECT_EQ(back->note.view(), note);
    EXPECT_EQ(back->created, 42u);
    // The longest owner and note end with their zero in the field's last byte.
    if (c.owner == 127) {
      EXPECT_EQ(Decipher(r, cipher, 12, 128)[127], 0);
    }
    if (c.note == 255) {
      EXPECT_EQ(Decipher(r, cipher, 228, 256)[255], 0);
    }
    if (c.password == 63) {
      EXPECT_EQ(Decipher(r, cipher, 144, 64)[63], 0);
    }
  }
  EXPECT_EQ(CheckPasswordText(Repeat('x', 64)), TextProblem::PasswordTooLong);
  EXPECT_EQ(CheckRecordTexts("a\0b", "", ""), std::nullopt);  // string_view literal stops at zero
  EXPECT_EQ(CheckRecordTexts(std::string_view("a\0b", 3), "", ""), TextProblem::ContainsZero);
  EXPECT_EQ(CheckPasswordText(std::string_view("a\0b", 3)), TextProblem::ContainsZero);
}

TEST(Record, EveryPasswordLengthRoundTrips) {
  const Key256 key = KeyOf("lengths");
  const Rijndael256 cipher(key);
  auto rng = test::Rng("password lengths");
  for (std::size_t n = 0; n <= kMaxPasswordLength; ++n) {
    std::string password;
    for (std::size_t i = 0; i < n; ++i) password += static_cast<char>(1 + rng() % 255);
    RecordBytes r{};
    ASSERT_TRUE(EncodeRecord(r, cipher, "o", password, "note", 1));
    auto back = DecodeRecord(r, cipher);
    ASSERT_TRUE(back) << n;
    EXPECT_EQ(back->password.view(), password);
    const Key256 expected = PasswordToKey(password);
    EXPECT_TRUE(RecordPasswordKey(r, cipher) == expected);
  }
}

TEST(Record, EncodingUsesFreshFiller) {
  const Key256 key = KeyOf("fresh");
  const Rijndael256 cipher(key);
  RecordBytes a{}, b{};
  ASSERT_TRUE(EncodeRecord(a, cipher, "same", "same", "same", 7));
  ASSERT_TRUE(EncodeRecord(b, cipher, "same", "same", "same", 7));
  EXPECT_NE(test::ToHex(a.data() + 12, 128), test::ToHex(b.data() + 12, 128));
  EXPECT_NE(test::ToHex(a.data() + 144, 80), test::ToHex(b.data() + 144, 80));
  EXPECT_NE(test::ToHex(a.data() + 228, 256), test::ToHex(b.data() + 228, 256));
}

TEST(Record, WrongKeyFailsChecks) {
  const Rijndael256 right(KeyOf("right")), wrong(KeyOf("wrong"));
  RecordBytes r{};
  ASSERT_TRUE(EncodeRecord(r, right, "owner", "password", "note", 1));
  EXPECT_EQ(DecodeRecord(r, wrong).code(), Errc::Corrupted);
}

TEST(Record, TamperingIsDetectedOrHarmless) {
  // A changed byte scrambles its whole cipher block. That is noticed when the
  // block holds text (or its zero), and is harmless when it holds only filler.
  const Key256 key = KeyOf("tamper");
  const Rijndael256 cipher(key);
  struct Region {
    const char* name;
    std::size_t begin, end;
    bool detected_short;  // texts of a few characters
    bool detected_full;   // texts at their limits (127, 63, 255)
  };
  const Region regions[] = {
      {"time", 0, 8, false, false},
      {"owner check value", 8, 12, true, true},
      {"owner block 1", 12, 44, true, true},
      {"owner blocks 2-4", 44, 140, false, true},
      {"password check value", 140, 144, true, true},
      {"password block 1", 144, 176, true, true},
      {"password block 2", 176, 208, false, true},
      // The part of the third block that the record keeps never deciphers again.
      {"password field tail", 208, 224, false, false},
      {"note check value", 224, 228, true, true},
      {"note block 1", 228, 260, true, true},
      {"note blocks 2-8", 260, 484, false, true},
  };
  struct Texts {
    std::string owner, password, note;
    bool full;
  };
  const Texts cases[] = {{"owner name", "secret pw", "a note", false},
                         {Repeat('o', 127), Repeat('p', 63), Repeat('n', 255), true}};
  auto rng = test::Rng("tamper");
  for (const Texts& t : cases) {
    RecordBytes original{};
    ASSERT_TRUE(EncodeRecord(original, cipher, t.owner, t.password, t.note, 1000));
    for (const Region& region : regions) {
      SCOPED_TRACE(testing::Message() << region.name << (t.full ? " (full texts)" : " (short texts)"));
      const bool detected = t.full ? region.detected_full : region.detected_short;
      for (std::size_t pos = region.begin; pos < region.end; pos += 1 + rng() % 5) {
        RecordBytes r = original;
        r[pos] ^= static_cast<std::uint8_t>(1 + rng() % 255);
        auto back = DecodeRecord(r, cipher);
        if (detected) {
          ASSERT_FALSE(back) << "byte " << pos;
          EXPECT_EQ(back.code(), Errc::Corrupted);
        } else {
          ASSERT_TRUE(back) << "byte " << pos;
          EXPECT_EQ(back->owner.view(), t.owner);
          EXPECT_EQ(back->password.view(), t.password);
          EXPECT_EQ(back->note.view(), t.note);
        }
      }
    }
  }
}

TEST(Record, EditKeepsOwnerAndTime) {
  const Key256 key = KeyOf("edit");
  const Rijndael256 cipher(key);
  RecordBytes r{};
  ASSERT_TRUE(EncodeRecord(r, cipher, "owner", "old", "old note", 99));
  const RecordBytes before = r;
  ASSERT_TRUE(EncodeSecrets(r, cipher, "new password", ""));
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 140, r.begin()));  // time and owner
  auto back = DecodeRecord(r, cipher);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->owner.view(), "owner");
  EXPECT_EQ(back->password.view(), "new password");
  EXPECT_EQ(back->note.view(), "");
  EXPECT_EQ(back->created, 99u);
  EXPECT_EQ(EncodeSecrets(r, cipher, Repeat('x', 64), "").code(), Errc::InvalidArgument);
}

TEST(Record, ReadsRecordsOfAnotherWriter) {
  // Zero filler and any bytes behind the password field are read the same.
  const Key256 key = KeyOf("foreign");
  const Rijndael256 cipher(key);
  for (std::uint8_t spill : {0x00, 0x5A, 0xFF}) {
    const RecordBytes r = ForeignRecord(cipher, "Owner", Repeat('7', 63), Repeat('n', 255), 5, spill);
    auto back = DecodeRecord(r, cipher);
    ASSERT_TRUE(back) << back.error().detail;
    EXPECT_EQ(back->owner.view(), "Owner");
    EXPECT_EQ(back->password.view(), Repeat('7', 63));
    EXPECT_EQ(back->note.view(), Repeat('n', 255));
    EXPECT_TRUE(RecordPasswordKey(r, cipher) == PasswordToKey(Repeat('7', 63)));
  }
  // A password of 64 or more characters lost its end in such a record: it is
  // reported, never returned cut.
  const RecordBytes lost = ForeignRecord(cipher, "Owner", Repeat('8', 70), "", 5, 0);
  EXPECT_EQ(DecodeRecord(lost, cipher).code(), Errc::Corrupted);
}

}  // namespace
}  // namespace qvx::storage
