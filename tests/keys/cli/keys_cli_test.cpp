// qvx's key commands end to end on real files: generation, signing and
// verifying, public keys through text, transport files between two stores,
// encryption to a key and decryption with it, and how keys are named.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "engine/password_key.h"
#include "keys/public_key_block.h"
#include "keys/transport.h"
#include "tests/cli/qvx_runner.h"
#include "tests/support/armour_damage.h"
#include "tests/support/test_util.h"

namespace qvx::test {
namespace {

namespace fs = std::filesystem;

class QvxKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteText(dir.File("keypw"), "key password\n");
    WriteText(dir.File("transport"), "transport password\n");
    fs::create_directories(home());
    fs::create_directories(away());
  }
  std::string F(const std::string& name) const { return "'" + dir.File(name) + "'"; }
  std::string home() const { return dir.File("home"); }
  std::string away() const { return dir.File("away"); }
  QvxRun Q(const std::string& args) { return Qvx(args, dir.File("stderr")); }
  // Runs with the output to a file and gives it back.
  std::string Out(const std::string& args, int expected = 0) {
    auto r = Q(args + " > " + F("stdout"));
    EXPECT_EQ(r.code, expected) << args << "\n" << r.err;
    return ReadText(dir.File("stdout"));
  }
  std::string Generate(const std::string& store, const std::string& owner, const std::string& extra) {
    std::string id = Out("keys generate --store '" + store + "' --owner '" + owner + "' --bits 1024 " + extra);
    id.erase(std::remove(id.begin(), id.end(), '\n'), id.end());
    EXPECT_EQ(id.size(), 38u) << id;
    return id;
  }

  static std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
};

TEST_F(QvxKeys, EncryptToAGeneratedKeyAndDecrypt) {
  const std::string id = Generate(home(), "Alice", "--password-file " + F("keypw"));
  WriteText(dir.File("plain"), "Meet me at the station.\r\nA.");
  auto encrypted = Q("encrypt --store '" + home() + "' --to Alice " + F("plain") + " -o " + F("enc"));
  ASSERT_EQ(encrypted.code, 0);
  // A 1024-bit key: the warning goes to stderr, the block is written all the same.
  EXPECT_NE(encrypted.err.find("The key of \"Alice\" is shorter than 2048 bits."), std::string::npos)
      << encrypted.err;
  const std::string block = ReadText(dir.File("enc"));
  EXPECT_EQ(block.rfind("\r\n--- Start Of QVX Crypto-Text ---\r\n", 0), 0u);
  auto r = Q("decrypt --store '" + home() + "' --key-password-file " + F("keypw") + " " + F("enc") + " -o " + F("out"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadText(dir.File("out")), "Meet me at the station.\r\nA.");
  // The wrong private key password, and a store without the private key.
  EXPECT_EQ(Q("decrypt --store '" + home() + "' --key-password-file " + F("transport") + " " + F("enc")).code, 3);
  r = Q("decrypt --store '" + away() + "' " + F("enc"));
  EXPECT_EQ(r.code, 6);
  EXPECT_NE(r.err.find("Can not find key to decrypt message!"), std::string::npos);
  // By id text and by id prefix as well.
  EXPECT_EQ(Q("encrypt --store '" + home() + "' --to '" + id + "' " + F("plain") + " -o " + F("enc2")).code, 0);
  EXPECT_EQ(Q("encrypt --store '" + home() + "' --to " + id.substr(1, 6) + " " + F("plain") + " -o " + F("enc3")).code, 0);
  // A password block and RSA blocks in one text.
  WriteText(dir.File("pw"), "text password\n");
  WriteText(dir.File("p2"), "second");
  ASSERT_EQ(Q("encrypt --password-file " + F("pw") + " " + F("p2") + " -o " + F("encp")).code, 0);
  WriteText(dir.File("mix"), "[" + ReadText(dir.File("enc2")) + "|" + ReadText(dir.File("encp")) + "|" +
                                 ReadText(dir.File("enc3")) + "]");
  r = Q("decrypt --store '" + home() + "' --key-password-file " + F("keypw") + " --password-file " + F("pw") + " " +
        F("mix") + " -o " + F("out"));
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string plain = "Meet me at the station.\r\nA.";
  EXPECT_EQ(ReadText(dir.File("out")), "[" + plain + "|second|" + plain + "]");
}

// The block with the Base64 character at body position `index` (counted
// without line breaks from the first body line) replaced by another one.
std::string WithBodyCharChanged(const std::string& block, std::size_t index) {
  std::string out = block;
  std::size_t pos = out.find("---\r\n", out.find("Start Of QVX Crypto-Text")) + 5;
  for (std::size_t seen = 0; pos < out.size(); ++pos) {
    if (out[pos] == '\r' || out[pos] == '\n') continue;
    if (seen++ == index) {
      out[pos] = out[pos] == 'A' ? 'B' : 'A';
      return out;
    }
  }
  ADD_FAILURE() << "the body is shorter than " << index;
  return out;
}

TEST_F(QvxKeys, EveryRsaFailureAfterTheKeyLoadedGivesOneAnswer) {
  Generate(home(), "Alice", "--password-file " + F("keypw"));
  WriteText(dir.File("plain"), "a text long enough to fill a few cipher blocks of the payload");
  ASSERT_EQ(Q("encrypt --store '" + home() + "' --to Alice " + F("plain") + " -o " + F("enc")).code, 0);
  const std::string block = ReadText(dir.File("enc"));
  // The envelope starts at body character 20; its session key at envelope
  // byte 60 (Base64 character 80), the enciphered payload at byte 188.
  struct Case {
    const char* what;
    std::size_t index;
  };
  const Case cases[] = {{"session key, first bytes", 20 + 84},
                        {"session key, last bytes", 20 + 248},
                        {"payload", 20 + 260},
                        {"payload end", 20 + 320}};
  std::string first_err;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteText(dir.File("bad"), WithBodyCharChanged(block, c.index));
    auto r = Q("decrypt --store '" + home() + "' --key-password-file " + F("keypw") + " " + F("bad"));
    EXPECT_EQ(r.code, 3) << r.err;
    if (first_err.empty()) first_err = r.err;
    EXPECT_EQ(r.err, first_err);
  }
}

// Format 2 to two people and, by default, to the sender: each of the three
// stores decrypts; a store with none of the keys is told which keys they were.
TEST_F(QvxKeys, HardenedBlockToSeveralKeysAndTheSender) {
  const std::string bob_dir = dir.File("bob"), carol_dir = dir.File("carol"), eve_dir = dir.File("eve");
  for (const auto& d : {bob_dir, carol_dir, eve_dir}) fs::create_directories(d);
  Generate(home(), "Alice", "--no-password");
  const std::string bob = Generate(bob_dir, "Bob", "--no-password");
  const std::string carol = Generate(carol_dir, "Carol", "--password-file " + F("keypw"));
  Generate(eve_dir, "Eve", "--no-password");
  for (const auto& d : {bob_dir, carol_dir}) {
    for (const auto& e : fs::directory_iterator(d + "/public")) {
      fs::copy_file(e.path(), home() + "/public/" + e.path().filename().string());
    }
  }
  WriteText(dir.File("plain"), "To Bob and Carol.");
  auto r = Q("encrypt --format 2 --store '" + home() + "' --to Bob --to Carol " + F("plain") + " -o " + F("enc"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadText(dir.File("enc")).rfind("\r\n--- Start Of QVX Crypto-Text 2 ---\r\n", 0), 0u);
  for (const auto& d : {home(), bob_dir, carol_dir}) {
    r = Q("decrypt --store '" + d + "' --key-password-file " + F("keypw") + " " + F("enc") + " -o " + F("out"));
    ASSERT_EQ(r.code, 0) << d << "\n" << r.err;
    EXPECT_EQ(ReadText(dir.File("out")), "To Bob and Carol.");
  }
  r = Q("decrypt --store '" + eve_dir + "' " + F("enc"));
  EXPECT_EQ(r.code, 6);
  EXPECT_NE(r.err.find("encrypted to keys you do not hold"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(bob), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(carol), std::string::npos) << r.err;
  // --no-self leaves the sender out.
  ASSERT_EQ(Q("encrypt --format 2 --no-self --store '" + home() + "' --to Bob " + F("plain") + " -o " + F("enc2")).code,
            0);
  EXPECT_EQ(Q("decrypt --store '" + home() + "' " + F("enc2")).code, 6);
}

TEST_F(QvxKeys, SignedTextVerifiesAndAnyChangeFails) {
  Generate(home(), "Signer", "--no-password --note 'work key'");
  const std::string text = "I agree.\r\nSigned";
  WriteText(dir.File("text"), text);
  ASSERT_EQ(Q("sign --store '" + home() + "' --key Signer " + F("text") + " -o " + F("signed")).code, 0);
  const std::string signed_text = ReadText(dir.File("signed"));
  ASSERT_EQ(signed_text.compare(0, text.size(), text), 0);
  auto r = Q("verify --store '" + home() + "' " + F("signed") + " -o " + F("cut"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Key owner: Signer"), std::string::npos);
  EXPECT_NE(r.err.find("Key note: work key"), std::string::npos);
  EXPECT_EQ(ReadText(dir.File("cut")), text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::string changed = signed_text;
    changed[i] = static_cast<char>(changed[i] ^ 0x01);
    WriteText(dir.File("changed"), changed);
    r = Q("verify --store '" + home() + "' " + F("changed"));
    ASSERT_EQ(r.code, 4) << i;
    ASSERT_NE(r.err.find("Verification is FAILED"), std::string::npos);
  }
  WriteText(dir.File("changed"), "x" + signed_text);
  EXPECT_EQ(Q("verify --store '" + home() + "' " + F("changed")).code, 4);
  // Another store does not know the signer.
  r = Q("verify --store '" + away() + "' " + F("signed"));
  EXPECT_EQ(r.code, 6);
}

// qvx verify says what the signature covers, warns about text after the
// block, and shows owner, note and text with their control characters
// escaped; a key with such a note is not taken from a text at all.
TEST_F(QvxKeys, VerifyShowsCoverageAndEscapesWhatItShows) {
  // An escape sequence that would erase the line above and write another.
  WriteText(dir.File("note"), "\x1b[1A\x1b[2KKey owner: Bank");
  Generate(home(), "Mallory", "--no-password --note \"$(cat " + F("note") + ")\"");
  const std::string text = "Pay 100.\r\n\x1b[31mred\x1b[0m";
  WriteText(dir.File("text"), text);
  ASSERT_EQ(Q("sign --store '" + home() + "' --key Mallory " + F("text") + " -o " + F("signed")).code, 0);
  const std::string signed_text = ReadText(dir.File("signed"));
  struct Case {
    const char* name;
    std::string input;
    const char* warning;  // nullptr: none
  };
  const Case cases[] = {
      {"as signed", signed_text, nullptr},
      {"blank lines after", signed_text + "\r\n\r\n", nullptr},
      {"line after", signed_text + "\r\nP.S. make it 200", "Warning: Text follows the signature block"},
      {"signed again", signed_text + "\r\n" + signed_text, "Warning: Another signature block follows"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteText(dir.File("input"), c.input);
    const std::string shown =
        Out("verify --print-text --store '" + home() + "' " + F("input") + " -o " + F("cut"));
    const std::string err = ReadText(dir.File("stderr"));
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
    EXPECT_NE(err.find("Key note: \\x1b[1A\\x1b[2KKey owner: Bank\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Signed text: " + std::to_string(text.size()) + " bytes, as found\n"), std::string::npos)
        << err;
    EXPECT_EQ(err.find("Warning:") != std::string::npos, c.warning != nullptr) << err;
    if (c.warning != nullptr) {
      EXPECT_NE(err.find(c.warning), std::string::npos) << err;
    }
    EXPECT_EQ(shown, "Pay 100.\r\n\\x1b[31mred\\x1b[0m\n");
    EXPECT_EQ(ReadText(dir.File("cut")), text);  // -o: byte for byte
  }
  const std::string listed = Out("keys list --store '" + home() + "'");
  EXPECT_EQ(listed.find('\x1b'), std::string::npos) << listed;
  EXPECT_NE(listed.find("Mallory  \\x1b[1A"), std::string::npos) << listed;
  const std::string props = Out("keys show Mallory --store '" + home() + "'");
  EXPECT_EQ(props.find('\x1b'), std::string::npos) << props;

  // Another store refuses the key, as a text block and as a transport file.
  WriteText(dir.File("letter"), "My key:");
  ASSERT_EQ(Q("key insert --store '" + home() + "' --key Mallory " + F("letter") + " -o " + F("with-key")).code, 0);
  auto r = Q("key read --store '" + away() + "' " + F("with-key"));
  EXPECT_EQ(r.code, 4) << r.err;
  EXPECT_NE(r.err.find("holds control characters"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  ASSERT_EQ(Q("keys export Mallory --store '" + home() + "' -o " + F("m.qvxt")).code, 0);
  r = Q("keys import --store '" + away() + "' " + F("m.qvxt"));
  EXPECT_EQ(r.code, 4) << r.err;
  EXPECT_NE(r.err.find("holds control characters"), std::string::npos) << r.err;
  EXPECT_TRUE(Files(away() + "/public").empty());
}

TEST_F(QvxKeys, QuotedSignedTextAndQuotedKeyBlock) {
  Generate(home(), "Quinn", "--no-password");
  const std::string text = "I agree.\r\n\r\nQuinn";
  WriteText(dir.File("text"), text);
  ASSERT_EQ(Q("sign --store '" + home() + "' --key Quinn " + F("text") + " -o " + F("signed")).code, 0);
  // Quoted in a reply and saved with LF line breaks: verified as it was
  // signed, and -o gives that text back.
  const std::string quoted = Chain({Quote("> ", true), LineEnds("\n")})(ReadText(dir.File("signed")));
  WriteText(dir.File("reply"), quoted + "\n\nNoted.\n");
  auto r = Q("verify --store '" + home() + "' " + F("reply") + " -o " + F("cut"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Key owner: Quinn"), std::string::npos);
  EXPECT_NE(r.err.find("before it was quoted"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CR LF line breaks restored"), std::string::npos) << r.err;
  EXPECT_EQ(ReadText(dir.File("cut")), text);
  // One character of the quoted text changed: refused.
  std::string changed = quoted;
  changed[changed.find("agree")] = 'A';
  WriteText(dir.File("changed"), changed);
  r = Q("verify --store '" + home() + "' " + F("changed"));
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("Verification is FAILED"), std::string::npos);

  // The public key block, quoted twice and re-wrapped, still reads.
  WriteText(dir.File("letter"), "My key:");
  ASSERT_EQ(Q("key insert --store '" + home() + "' --key Quinn " + F("letter") + " -o " + F("with-key")).code, 0);
  WriteText(dir.File("quoted-key"), Chain({Rewrap(76), Quote("> "), Quote("> ")})(ReadText(dir.File("with-key"))));
  r = Q("key read --store '" + away() + "' " + F("quoted-key"));
  ASSERT_EQ(r.code, 0) << r.err;
  const auto pub = Files(away() + "/public");
  ASSERT_EQ(pub.size(), 1u);
  EXPECT_EQ(ReadText(away() + "/public/" + pub[0]), ReadText(home() + "/public/" + pub[0]));
}

TEST_F(QvxKeys, PublicKeyThroughTextIsUsableForEncryption) {
  const std::string id = Generate(home(), "Bob", "--no-password");
  WriteText(dir.File("letter"), "Hi, here is my key:");
  ASSERT_EQ(Q("key insert --store '" + home() + "' --key Bob " + F("letter") + " -o " + F("with-key")).code, 0);
  auto r = Q("key read --store '" + away() + "' " + F("with-key"));
  ASSERT_EQ(r.code, 0) << r.err;
  const auto pub = Files(away() + "/public");
  ASSERT_EQ(pub.size(), 1u);
  EXPECT_EQ(pub[0], "Bob-pub" + id + ".qvx");
  EXPECT_EQ(ReadText(away() + "/public/" + pub[0]), ReadText(home() + "/public/" + pub[0]));
  EXPECT_NE(Out("keys list --store '" + away() + "'").find("Other key"), std::string::npos);

  // Encrypted in the other store to the imported key, decrypted at home.
  WriteText(dir.File("reply"), "Thanks, Bob.");
  ASSERT_EQ(Q("encrypt --store '" + away() + "' --to Bob " + F("reply") + " -o " + F("enc")).code, 0);
  r = Q("decrypt --store '" + home() + "' " + F("enc") + " -o " + F("out"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadText(dir.File("out")), "Thanks, Bob.");

  // Reading it again keeps the stored key unless confirmed.
  r = Q("key read --store '" + away() + "' " + F("with-key"));
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("This public key is exists. Overwrite it?"), std::string::npos);
  EXPECT_EQ(Q("key read --yes --store '" + away() + "' " + F("with-key")).code, 0);
  WriteText(dir.File("nokey"), "no key in here");
  r = Q("key read --store '" + away() + "' " + F("nokey"));
  EXPECT_EQ(r.code, 6);
  EXPECT_NE(r.err.find("Start of the open key is not found!"), std::string::npos);
}

TEST_F(QvxKeys, TransportFileGivesIdenticalKeyFiles) {
  Generate(home(), "Carol", "--password-file " + F("keypw"));
  ASSERT_EQ(Q("keys export --store '" + home() + "' Carol --private --password-file " + F("transport") + " -o " +
              F("carol.qvxt")).code,
            0);
  auto r = Q("keys import --store '" + away() + "' --password-file " + F("transport") + " " + F("carol.qvxt"));
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* folder : {"/public", "/privat"}) {
    const auto names = Files(away() + folder);
    ASSERT_EQ(names, Files(home() + folder)) << folder;
    for (const auto& name : names) {
      EXPECT_EQ(ReadText(away() + folder + "/" + name), ReadText(home() + folder + "/" + name)) << name;
    }
  }
  EXPECT_NE(Out("keys list --mine --store '" + away() + "'").find("Carol"), std::string::npos);

  // Public only, and a wrong transport password (the public key still arrives).
  const std::string third = dir.File("third");
  ASSERT_EQ(Q("keys export --store '" + home() + "' Carol -o " + F("carol-pub.qvxt")).code, 0);
  ASSERT_EQ(Q("keys import --store '" + third + "' " + F("carol-pub.qvxt")).code, 0);
  EXPECT_EQ(Files(third + "/public"), Files(home() + "/public"));
  EXPECT_TRUE(Files(third + "/privat").empty());
  const std::string fourth = dir.File("fourth");
  r = Q("keys import --store '" + fourth + "' --password-file " + F("keypw") + " " + F("carol.qvxt"));
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("Wrong password or bad data!"), std::string::npos);
  EXPECT_EQ(Files(fourth + "/public").size(), 1u);
  EXPECT_TRUE(Files(fourth + "/privat").empty());
  // A damaged transport file writes nothing.
  std::string damaged = ReadText(dir.File("carol.qvxt"));
  damaged[400] = static_cast<char>(damaged[400] ^ 1);
  WriteText(dir.File("damaged.qvxt"), damaged);
  const std::string fifth = dir.File("fifth");
  r = Q("keys import --store '" + fifth + "' --password-file " + F("transport") + " " + F("damaged.qvxt"));
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("Transport file is corrupted!"), std::string::npos);
  EXPECT_TRUE(Files(fifth + "/public").empty());

  // A transport file that cannot be read, and one that cannot be written:
  // each said once, with the file's path and the reason.
  const auto count = [](const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  const std::string absent = dir.File("absent.qvxt");
  r = Q("keys import --store '" + fifth + "' " + F("absent.qvxt"));
  EXPECT_EQ(r.code, 6) << r.err;
  EXPECT_EQ(count(r.err, "The transport file could not be read:"), 1u) << r.err;
  EXPECT_NE(r.err.find(absent), std::string::npos) << r.err;
  EXPECT_EQ(count(r.err, "No such file"), 1u) << r.err;
  const std::string unwritable = dir.File("no-such-folder") + "/carol.qvxt";
  r = Q("keys export --store '" + home() + "' Carol -o '" + unwritable + "'");
  EXPECT_NE(r.code, 0) << r.err;
  EXPECT_EQ(count(r.err, "The transport file could not be written:"), 1u) << r.err;
  EXPECT_NE(r.err.find(unwritable), std::string::npos) << r.err;
  EXPECT_EQ(count(r.err, "No such file"), 1u) << r.err;
}

TEST_F(QvxKeys, NamingKeysAndStores) {
  const std::string a1 = Generate(home(), "Dana", "--no-password");
  const std::string a2 = Generate(home(), "Dana", "--no-password");
  const std::string e = Generate(home(), "Eli", "--no-password");
  // An owner with two keys is ambiguous; the error lists both.
  auto r = Q("keys show --store '" + home() + "' Dana");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(a1), std::string::npos);
  EXPECT_NE(r.err.find(a2), std::string::npos);
  EXPECT_EQ(Q("keys show --store '" + home() + "' '" + a1 + "'").code, 0);
  std::string lower = a2;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  EXPECT_EQ(Q("keys show --store '" + home() + "' '" + lower + "'").code, 0);
  EXPECT_EQ(Q("keys show --store '" + home() + "' Eli").code, 0);
  EXPECT_EQ(Q("keys show --store '" + home() + "' Nobody").code, 6);
  // QVX_STORE names the store when --store is absent.
  ::setenv("QVX_STORE", home().c_str(), 1);
  const std::string listed = Out("keys list");
  ::unsetenv("QVX_STORE");
  EXPECT_NE(listed.find(e), std::string::npos);
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 3);
  // Owners that cannot be file names, and lengths outside the range.
  EXPECT_EQ(Q("keys generate --store '" + home() + "' --owner '../x' --no-password").code, 2);
  EXPECT_EQ(Q("keys generate --store '" + home() + "' --owner X --bits 1028 --no-password").code, 2);
  EXPECT_EQ(Q("keys generate --store '" + home() + "' --owner X --bits 4096 --no-password").code, 2);
  // Deleting needs confirmation.
  EXPECT_EQ(Q("keys delete --store '" + home() + "' Eli").code, 7);
  EXPECT_EQ(Q("keys delete --store '" + home() + "' Eli --yes").code, 0);
  EXPECT_EQ(Q("keys show --store '" + home() + "' Eli").code, 6);
  EXPECT_EQ(Files(home() + "/privat").size(), 2u);
}

// The reproduction of the substitution: a transport file and a key block
// with the user's own id and owner over another modulus, validly sealed.
TEST_F(QvxKeys, AKeyCarryingMyIdIsNotImportedOverMyKey) {
  const std::string id = Generate(home(), "Alice", "--no-password");
  KeyStore store(home());
  const auto entries = store.List();
  ASSERT_EQ(entries.size(), 1u);
  const KeyFileHeader header = entries[0].header;
  auto mallory_key = RsaKey::Generate(1024);
  ASSERT_TRUE(mallory_key);
  KeyStore forge(dir.File("forge"));
  ASSERT_TRUE(forge.CreateFolders());
  const std::string forged_public = forge.PublicPath(header.owner, header.id);
  ASSERT_TRUE(forge.SavePublicKeyFile(forged_public, header, *mallory_key));
  ASSERT_TRUE(forge.SavePrivateKeyFile(forge.PrivatePath(header.owner, header.id), header, *mallory_key, nullptr));
  auto transport = MakeTransportFile(forge, forged_public, TransportContent::PublicAndPrivate,
                                     [] { return std::optional<Key256>(PasswordToKey("transport password")); });
  ASSERT_TRUE(transport);
  WriteText(dir.File("forged.qvxt"), std::string(transport->begin(), transport->end()));

  const std::string show_before = Out("keys show --store '" + home() + "' Alice");
  const std::string public_before = ReadText(entries[0].public_path);
  const std::string private_before = ReadText(entries[0].private_path);
  EXPECT_NE(show_before.find("Fingerprint : "), std::string::npos) << show_before;
  for (const std::string& command :
       {"keys import --yes --password-file " + F("transport") + " " + F("forged.qvxt"),
        "key read --yes " + F("forged.txt")}) {
    SCOPED_TRACE(command);
    const std::string file = ReadText(forged_public);
    WriteText(dir.File("forged.txt"),
              "Bob's key:" + MakePublicKeyBlock(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
    auto r = Q(command + " --store '" + home() + "'");
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find("This key carries the id of one of your own key pairs"), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(entries[0].public_path), public_before);
    EXPECT_EQ(ReadText(entries[0].private_path), private_before);
    EXPECT_EQ(Out("keys show --store '" + home() + "' Alice"), show_before);
  }
  // The forged file shown by path has a fingerprint of its own.
  const std::string forged_show = Out("keys show --store '" + home() + "' '" + forged_public + "'");
  const auto fingerprint = [](const std::string& shown) {
    const auto at = shown.find("Fingerprint : ");
    return at == std::string::npos ? std::string() : shown.substr(at, shown.find('\n', at) - at);
  };
  EXPECT_NE(fingerprint(forged_show), fingerprint(show_before));
  EXPECT_EQ(fingerprint(show_before).size(), std::string("Fingerprint : ").size() + 79);
  EXPECT_NE(id, "");

  // The same forgery over another person's key: kept without --yes (the
  // warning shows both fingerprints), replaced with it.
  Generate(away(), "Alice", "--no-password");
  WriteText(dir.File("away-alice.txt"), Out("key insert --store '" + away() + "' --key Alice"));
  const std::string third = dir.File("third");
  ASSERT_EQ(Q("key read --store '" + third + "' " + F("away-alice.txt")).code, 0);
  const std::string other_public = third + "/public/" + fs::path(entries[0].public_path).filename().string();
  ASSERT_FALSE(fs::exists(other_public));  // another Alice, another id
  KeyStore third_store(third);
  const KeyFileHeader other_header = third_store.List()[0].header;
  const std::string other_forged = forge.PublicPath(other_header.owner, other_header.id);
  ASSERT_TRUE(forge.SavePublicKeyFile(other_forged, other_header, *mallory_key));
  const std::string forged_file = ReadText(other_forged);
  WriteText(dir.File("other-forged.txt"),
            MakePublicKeyBlock(reinterpret_cast<const std::uint8_t*>(forged_file.data()), forged_file.size()));
  const std::string stored_public = third_store.List()[0].public_path;
  const std::string stored_before = ReadText(stored_public);
  auto kept = Q("key read --store '" + third + "' " + F("other-forged.txt"));
  EXPECT_EQ(kept.code, 0) << kept.err;
  EXPECT_NE(kept.err.find("WARNING: a different key with the same id"), std::string::npos) << kept.err;
  // The stored key's fingerprint, its first eight groups on a line of their own.
  EXPECT_NE(kept.err.find(fingerprint(Out("keys show --store '" + third + "' Alice")).substr(14, 39) + "\n"),
            std::string::npos)
      << kept.err;
  EXPECT_NE(kept.err.find("add --yes"), std::string::npos) << kept.err;
  EXPECT_EQ(ReadText(stored_public), stored_before);
  ASSERT_EQ(Q("key read --yes --store '" + third + "' " + F("other-forged.txt")).code, 0);
  EXPECT_EQ(ReadText(stored_public), forged_file);
}

}  // namespace
}  // namespace qvx::test
