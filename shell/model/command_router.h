// Routing of tray-menu commands and hot keys to their handlers. The table of
// known command ids and where each one runs (on the main thread or on a new
// thread) is fixed here; the handlers are bound by the parts of the program
// that implement them. A known id with no handler yet is reported as
// unavailable instead of being dropped or faked.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "resources/shell_ids.h"
#include "shell/model/hotkeys.h"

namespace qvx::shell {

enum class RunOn { MainThread, NewThread };

// Where a WM_COMMAND id runs; nullopt for ids outside the table (ignored).
// Ids 0..8 are the "Hot&keys view" entries and run on the main thread.
std::optional<RunOn> PlacementOf(std::uint16_t id);

class CommandRouter {
 public:
  using Handler = std::function<void()>;
  // Starts a handler on a new thread and returns at once.
  using ThreadStarter = std::function<void(Handler)>;
  struct Unbound {
    bool hot_key;      // a hot-key id, otherwise a command id
    std::uint32_t id;
  };
  using UnavailableFn = std::function<void(const Unbound&)>;

  CommandRouter(ThreadStarter start_thread, UnavailableFn unavailable);

  // Binds a handler; a later binding of the same id replaces the earlier one.
  // Returns false (and binds nothing) for an id outside the table.
  bool BindCommand(std::uint16_t id, Handler handler);
  bool BindHotKey(std::uint32_t hot_key_id, Handler handler);
  bool BindHotKey(HotKeyId id, Handler handler) { return BindHotKey(Id(id), std::move(handler)); }

  bool HasCommand(std::uint16_t id) const { return commands_.count(id) != 0; }
  bool HasHotKey(std::uint32_t hot_key_id) const { return hot_keys_.count(hot_key_id) != 0; }

  // WM_COMMAND and WM_HOTKEY. Return false for ids outside the tables, which
  // are ignored; a known id without a handler goes to the unavailable callback.
  bool OnCommand(std::uint16_t id);
  bool OnHotKey(std::uint32_t hot_key_id);

 private:
  ThreadStarter start_thread_;
  UnavailableFn unavailable_;
  std::map<std::uint16_t, Handler> commands_;
  std::map<std::uint32_t, Handler> hot_keys_;
};

}  // namespace qvx::shell
