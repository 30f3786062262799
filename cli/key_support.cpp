// Shared pieces of the key commands.
#include "cli/key_support.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "cli/terminal_support.h"
#include "engine/password_key.h"
#include "platform/system.h"

namespace qvx::cli {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string StoreFolder(const ParsedArgs& args) {
  if (auto store = args.Value("--store")) return *store;
  if (const char* env = std::getenv("QVX_STORE"); env != nullptr && *env != '\0') return env;
  return ProgramFolder();
}

void TerminalMessages::Show(Msg id, BoxKind, std::string_view arg) {
  std::string text = MessageText(id);
  if (auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, std::string(arg));
  PrintError(text);
}

bool TerminalMessages::Confirm(Msg id) {
  if (yes_) return true;
  PrintError(std::string(MessageText(id)) + " (not confirmed: add --yes to confirm)");
  return false;
}

bool TerminalMessages::ConfirmWarning(Msg id, std::string_view arg) {
  Show(id, BoxKind::Warning, arg);
  if (yes_) return true;
  PrintError("(not confirmed: add --yes to confirm)");
  return false;
}

std::optional<Key256> CliProtectionKeys::GetProtectionKey(const KeyFileHeader& header) {
  auto password = ReadPassword(args_, "Password of private key \"" + TerminalSafe(header.owner) + "\": ", false,
                               "key-password");
  if (!password) {
    failure_ = password.error();
    return std::nullopt;
  }
  return PasswordToKey(password->view());
}

Result<KeyEntry> ResolveKey(const KeyStore& store, const std::string& text,
                            std::optional<KeyKind> kind) {
  if (text.empty()) return MakeError(Errc::InvalidArgument, "empty key name");
  const std::string wanted = Lower(text);
  std::vector<KeyEntry> by_id, by_owner;
  for (auto& entry : store.List()) {
    if (kind && entry.kind != *kind) continue;
    const std::string id = Lower(entry.header.id.Text());
    const bool id_match = wanted[0] == '{' ? id.compare(0, wanted.size(), wanted) == 0
                                           : id.compare(1, wanted.size(), wanted) == 0;
    if (id_match) {
      by_id.push_back(std::move(entry));
    } else if (entry.header.owner == text) {
      by_owner.push_back(std::move(entry));
    }
  }
  // A full id or an id prefix wins over owner names.
  std::vector<KeyEntry>& found = by_id.empty() ? by_owner : by_id;
  if (found.size() == 1) return std::move(found[0]);
  const char* what = kind == KeyKind::Mine ? "own key" : "key";
  if (found.empty()) return MakeError(Errc::NotFound, std::string("no ") + what + " matches \"" + text + "\"");
  std::string list = std::string("\"") + text + "\" matches several keys:";
  for (const auto& entry : found) list += "\n  " + entry.header.id.Text() + "  " + entry.header.owner;
  return MakeError(Errc::InvalidArgument, list);
}

std::string FormatCreationTime(FileTime time) {
  const CivilTime t = FileTimeToCivil(time);
  const bool day_first = std::string(MessageText(Msg::DayFirst)) != "0";
  char text[64];
  std::snprintf(text, sizeof text, MessageText(Msg::TimeFormat), day_first ? t.day : t.month,
                day_first ? t.month : t.day, t.year, t.hour, t.minute, t.second);
  return text;
}

int Fail(const Error& error) {
  TerminalMessages terminal;
  ShowFailure(terminal, error);
  // The detail adds the program's own words, unless a message already holds it.
  bool said = false;
  for (const Notice& n : error.messages) {
    said = said || (!error.detail.empty() && n.arg.find(error.detail) != std::string::npos);
  }
  if (!error.detail.empty() && !said) {
    PrintError(error.detail);
  } else if (error.detail.empty() && error.messages.empty()) {
    PrintError(ErrcName(error.code));
  }
  return ExitCodeFor(error.code);
}

}  // namespace qvx::cli
