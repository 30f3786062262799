// Shared helpers for the storage tests: an account folder in a fresh
// temporary folder, and whole-file reads.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "storage/account.h"
#include "tests/support/test_util.h"

namespace qvx::storage::testing_util {

inline Bytes FileBytes(const std::string& path) {
  auto data = NativeFileSystem().ReadFile(path);
  return data ? *data : Bytes{};
}

inline void WriteBytes(const std::string& path, const Bytes& data) {
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(path, data));
}

// A created account with records owner1..owner_n (password pw_i, note note_i,
// time 1000 + I).
inline StorageSession MakeAccount(const AccountFolder& folder, const std::string& name,
                                  const std::string& password, int records) {
  auto session = CreateAccount(folder, name, password);
  EXPECT_TRUE(session) << session.error().detail;
  for (int i = 1; i <= records; ++i) {
    const std::string n = std::to_string(i);
    EXPECT_TRUE(session->Add("owner" + n, "pw" + n, "note" + n, 1000 + static_cast<FileTime>(i)));
  }
  return std::move(session).value();
}

// Owners of the records as read, in order.
inline std::vector<std::string> Owners(const StorageSession& session) {
  auto records = session.ReadRecords();
  EXPECT_TRUE(records) << records.error().detail;
  std::vector<std::string> out;
  if (records) {
    for (const auto& r : *records) out.emplace_back(r.contents.owner.view());
  }
  return out;
}

}  // namespace qvx::storage::testing_util
