// qvx storage: the password storage from the command line, over the same core
// as the tray program: create an account, list, add, show and remove records,
// change the account password.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "cli/command.h"
#include "cli/options.h"
#include "cli/terminal_support.h"
#include "platform/files.h"
#include "platform/system.h"
#include "storage/account.h"
#include "storage/book.h"

namespace qvx::cli {

namespace {

using storage::StoredRecord;

constexpr char kUsage[] =
    "usage: qvx storage <action> --account NAME [--store DIR] [account password] [options]\n"
    "\n"
    "Actions:\n"
    "  create   create the account (its password is asked twice on the terminal)\n"
    "  list     one line per record: number, owner, password, creation time, note,\n"
    "           separated by tabs (tab, line break and backslash written as \\t \\n \\\\)\n"
    "           --show-passwords        passwords in clear instead of '*'\n"
    "           --owner-filter PATTERN  --note-filter PATTERN  wildcards * and ?, any case\n"
    "           --sort owner|password|time|note\n"
    "  add      add a record: --owner OWNER [--note NOTE]; its password from\n"
    "           --record-password-file FILE, --record-password-env NAME or the terminal\n"
    "           (asked twice); at most 63 characters\n"
    "  show     print one record in clear: --index N or --owner OWNER; --password-only\n"
    "  remove   remove one record: --index N or --owner OWNER\n"
    "  passwd   change the account password: --new-password-file FILE,\n"
    "           --new-password-env NAME or the terminal (asked twice)\n"
    "\n"
    "The account password comes from --password-file FILE (its first line),\n"
    "--password-env NAME or the terminal. The account file NAME.qvxp lives in\n"
    "--store DIR, else in $QVX_STORE, else in the folder of the program.\n"
    "\n"
    "Exit codes: 0 done; 1 other failure (e.g. the account exists); 2 bad command\n"
    "line, account name or text; 3 wrong password; 4 corrupted password file;\n"
    "5 file error; 6 no such account or record; 7 cancelled.\n";

int Fail(const Error& error) {
  PrintError(error.detail.empty() ? ErrcName(error.code) : error.detail);
  return ExitCodeFor(error.code);
}

int Usage(const std::string& message) {
  PrintError(message + " (see qvx help storage)");
  return kExitUsage;
}

std::string StoreFolder(const ParsedArgs& args) {
  if (auto dir = args.Value("--store")) return *dir;
  if (const char* env = std::getenv("QVX_STORE"); env != nullptr && *env) return env;
  return ProgramFolder();
}

// Appends a text as one tab-separated cell, safe to show on a terminal. The
// output is built in wiped memory: it holds the owners, notes and passwords
// of the records.
void AppendCell(SecureString& out, std::string_view text) {
  SecureString cell;
  for (char c : text) {
    switch (c) {
      case '\t': cell.append("\\t"); break;
      case '\n': cell.append("\\n"); break;
      case '\r': cell.append("\\r"); break;
      case '\\': cell.append("\\\\"); break;
      default: cell.append(std::string_view(&c, 1));
    }
  }
  AppendTerminalSafe(out, cell.view());
}

// Writes the output in one piece, unbuffered, so that stdout's buffer keeps
// no copy of it.
void PrintSecret(const SecureString& out) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::fwrite(out.data(), 1, out.size(), stdout);
}

std::optional<int> ColumnNamed(const std::string& name) {
  if (name == "owner") return storage::kColumnOwner;
  if (name == "password") return storage::kColumnPassword;
  if (name == "time") return storage::kColumnTime;
  if (name == "note") return storage::kColumnNote;
  return std::nullopt;
}

// The record named by --index N (its number in "list") or --owner OWNER (the
// only record with exactly that owner).
Result<StoredRecord> SelectRecord(const ParsedArgs& args, std::vector<StoredRecord> records) {
  const auto index = args.Value("--index");
  const auto owner = args.Value("--owner");
  if (index.has_value() == owner.has_value()) {
    return MakeError(Errc::InvalidArgument, "name the record with either --index N or --owner OWNER");
  }
  if (index) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(index->c_str(), &end, 10);
    if (index->empty() || *end != '\0' || n == 0) {
      return MakeError(Errc::InvalidArgument, "--index takes a record number from 1");
    }
    if (n > records.size()) {
      return MakeError(Errc::NotFound, "there is no record " + *index + " (the account has " +
                                           std::to_string(records.size()) + ")");
    }
    return std::move(records[n - 1]);
  }
  std::optional<StoredRecord> found;
  for (auto& record : records) {
    if (record.contents.owner.view() != *owner) continue;
    if (found) {
      return MakeError(Errc::InvalidArgument,
                       "several records have the owner \"" + *owner + "\"; use --index");
    }
    found = std::move(record);
  }
  if (!found) return MakeError(Errc::NotFound, "no record has the owner \"" + *owner + "\"");
  return std::move(*found);
}

// The record that --index or --owner names, read from the account.
Result<StoredRecord> ReadSelected(const ParsedArgs& args, storage::StorageSession& session) {
  auto records = session.ReadRecords();
  if (!records) return records.error();
  return SelectRecord(args, std::move(records).value());
}

int List(const ParsedArgs& args, storage::StorageSession& session) {
  auto records = session.ReadRecords();
  if (!records) return Fail(records.error());
  storage::StorageFilters filters;
  if (auto p = args.Value("--owner-filter")) filters.owners = *p;
  if (auto p = args.Value("--note-filter")) filters.notes = *p;
  const bool show = args.Has("--show-passwords");
  std::vector<StoredRecord> rows;
  for (auto& record : *records) {
    if (storage::PassesFilters(record.contents, filters)) rows.push_back(std::move(record));
  }
  if (auto sort = args.Value("--sort")) {
    const auto column = ColumnNamed(*sort);
    if (!column) return Usage("--sort takes owner, password, time or note");
    storage::SortRecords(rows, *column, show);
  }
  SecureString out;
  for (const auto& row : rows) {
    const SecureString password = storage::PasswordCell(row.contents, show);
    out.append(std::to_string(row.index + 1));
    out.append("\t");
    AppendCell(out, row.contents.owner.view());
    out.append("\t");
    AppendCell(out, password.view());
    out.append("\t");
    out.append(storage::FormatCreationTime(row.contents.created));
    out.append("\t");
    AppendCell(out, row.contents.note.view());
    out.append("\n");
  }
  PrintSecret(out);
  return kExitOk;
}

int Add(const ParsedArgs& args, storage::StorageSession& session) {
  const auto owner = args.Value("--owner");
  if (!owner) return Usage("add needs --owner OWNER");
  const std::string note = args.Value("--note").value_or(std::string());
  auto password = ReadPassword(args, "Password to store: ", true, "record-password");
  if (!password) return Fail(password.error());
  if (Status s = session.Add(*owner, password->view(), note); !s) return Fail(s.error());
  return kExitOk;
}

int Show(const ParsedArgs& args, storage::StorageSession& session) {
  auto record = ReadSelected(args, session);
  if (!record) return Fail(record.error());
  const storage::RecordContents& c = record->contents;
  SecureString out;
  if (args.Has("--password-only")) {
    out.append(c.password.view());
    out.append("\n");
  } else {
    out.append("owner: ");
    AppendCell(out, c.owner.view());
    out.append("\npassword: ");
    AppendCell(out, c.password.view());
    out.append("\ncreated: ");
    out.append(storage::FormatCreationTime(c.created));
    out.append("\nnote: ");
    AppendCell(out, c.note.view());
    out.append("\n");
  }
  PrintSecret(out);
  return kExitOk;
}

int Remove(const ParsedArgs& args, storage::StorageSession& session) {
  auto record = ReadSelected(args, session);
  if (!record) return Fail(record.error());
  if (Status s = session.Remove(*record); !s) return Fail(s.error());
  return kExitOk;
}

int ChangePassword(const ParsedArgs& args, storage::StorageSession& session) {
  auto password = ReadPassword(args, "New account password: ", true, "new-password");
  if (!password) return Fail(password.error());
  if (Status s = session.ChangePassword(password->view()); !s) return Fail(s.error());
  return kExitOk;
}

int Run(const Args& raw) {
  if (raw.empty()) return Usage("storage needs an action");
  const std::string action = raw[0];
  auto args = ParseArgs(
      Args(raw.begin() + 1, raw.end()),
      {"--account", "--store", "--password-file", "--password-env", "--owner", "--note",
       "--record-password-file", "--record-password-env", "--new-password-file",
       "--new-password-env", "--index", "--owner-filter", "--note-filter", "--sort"},
      {"--show-passwords", "--password-only"});
  if (!args) return kExitUsage;
  if (!args->positional.empty()) return Usage("unexpected argument " + args->positional[0]);
  if (action != "create" && action != "list" && action != "add" && action != "show" &&
      action != "remove" && action != "passwd") {
    return Usage("unknown storage action " + action);
  }
  const auto account = args->Value("--account");
  if (!account) return Usage("storage " + action + " needs --account NAME");

  const storage::AccountFolder folder(NativeFileSystem(), StoreFolder(*args));
  const bool creating = action == "create";
  if (auto problem = storage::AccountNameProblem(
          *account, creating ? storage::NameUse::Create : storage::NameUse::Open)) {
    return Usage(*problem);
  }
  if (!creating && !folder.Exists(*account)) {
    PrintError("there is no account \"" + *account + "\" in " + folder.folder());
    return kExitNotFound;
  }
  auto password = ReadPassword(*args, "Account password: ", creating);
  if (!password) return Fail(password.error());
  auto session = creating ? storage::CreateAccount(folder, *account, password->view())
                          : storage::OpenAccount(folder, *account, password->view());
  if (!session) return Fail(session.error());

  if (action == "list") return List(*args, *session);
  if (action == "add") return Add(*args, *session);
  if (action == "show") return Show(*args, *session);
  if (action == "remove") return Remove(*args, *session);
  if (action == "passwd") return ChangePassword(*args, *session);
  return kExitOk;  // create: done
}

const RegisterCommand kRegister({"storage", "password storage: create, list, add, show, remove, passwd",
                                 kUsage, Run});

}  // namespace

}  // namespace qvx::cli
