// The command table and the dispatch of commands and hot keys.
#include "shell/model/command_router.h"

#include <utility>

#include "shell/model/hotkeys.h"

namespace qvx::shell {

std::optional<RunOn> PlacementOf(std::uint16_t id) {
  if (id < kHotKeyCount) return RunOn::MainThread;
  switch (id) {
    case IDM_HELP:
    case IDM_OPTIONS:
    case IDM_ABOUT:
    case IDM_EXIT:
    case IDM_KEY_PAIR_WIZARD:
    case IDM_SWITCH_TO_RSA:
    case IDM_SWITCH_TO_PASSWORD:
    case IDM_KEY_MANAGER:
    case IDM_PASSWORD_STORAGE:
    case IDM_CRYPT_CLIPBOARD:
      return RunOn::MainThread;
    // Commands that take text from a window run on their own thread so that
    // the menu can close and the window regain the foreground first.
    case IDM_INSERT_KEY_WINDOW:
    case IDM_GET_KEY_WINDOW:
    case IDM_CRYPT_SELECTION:
    case IDM_CRYPT_WINDOW:
    case IDM_SIGN_WINDOW:
    case IDM_VERIFY_WINDOW:
    case IDM_SIGN_CLIPBOARD:
    case IDM_VERIFY_CLIPBOARD:
    case IDM_INSERT_KEY_CLIPBOARD:
    case IDM_GET_KEY_CLIPBOARD:
      return RunOn::NewThread;
    default:
      return std::nullopt;
  }
}

CommandRouter::CommandRouter(ThreadStarter start_thread, UnavailableFn unavailable)
    : start_thread_(std::move(start_thread)), unavailable_(std::move(unavailable)) {}

bool CommandRouter::BindCommand(std::uint16_t id, Handler handler) {
  if (!PlacementOf(id) || !handler) return false;
  commands_[id] = std::move(handler);
  return true;
}

bool CommandRouter::BindHotKey(std::uint32_t hot_key_id, Handler handler) {
  if (!RowOfHotKeyId(hot_key_id) || !handler) return false;
  hot_keys_[hot_key_id] = std::move(handler);
  return true;
}

bool CommandRouter::OnCommand(std::uint16_t id) {
  const auto where = PlacementOf(id);
  if (!where) return false;
  const auto it = commands_.find(id);
  if (it == commands_.end()) {
    if (unavailable_) unavailable_({false, id});
    return true;
  }
  if (*where == RunOn::NewThread) {
    start_thread_(it->second);
  } else {
    // Copied: the handler may rebind commands while it runs.
    Handler handler = it->second;
    handler();
  }
  return true;
}

bool CommandRouter::OnHotKey(std::uint32_t hot_key_id) {
  if (!RowOfHotKeyId(hot_key_id)) return false;
  const auto it = hot_keys_.find(hot_key_id);
  if (it == hot_keys_.end()) {
    if (unavailable_) unavailable_({true, hot_key_id});
    return true;
  }
  Handler handler = it->second;
  handler();
  return true;
}

}  // namespace qvx::shell
