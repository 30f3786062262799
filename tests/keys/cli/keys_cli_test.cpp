// qvx's key commands end to end on real files: generation, signing and
// verifying, public keys through text, transport files between two stores,
// encryption to a key and decryption with it, and how keys are named.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>

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
  ASSERT_EQ(Q("encrypt --store '" + home() + "' --to Alice " + F("plain") + " -o " + F("enc")).code, 0);
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

}  // namespace
}  // namespace qvx::test
