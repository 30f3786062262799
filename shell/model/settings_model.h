// The tray program's preferences as held in memory, and how they are loaded
// from and saved to the settings store under their registry value names.
#pragma once

#include "platform/settings.h"
#include "shell/model/hotkeys.h"

namespace qvx::shell {

// Registry value names.
namespace value_names {
inline constexpr const char* kShowText = "ShowText";
inline constexpr const char* kAutorun = "Autorun";
inline constexpr const char* kLoginAtStartup = "LoginAtStartup";
inline constexpr const char* kMode = "IsSimmetrick";
inline constexpr const char* kShowSwitch = "show_switch";
}  // namespace value_names

struct Settings {
  bool showText = false;        // show the original text before encrypting or signing
  bool autorun = true;          // an instance started with "regrun" keeps running
  bool loginAtStartup = false;  // open the password storage login at start
  CryptoMode mode = CryptoMode::RsaKeys;
  HotKeySet hotKeys = DefaultHotKeys();

  friend bool operator==(const Settings& a, const Settings& b) {
    return a.showText == b.showText && a.autorun == b.autorun &&
           a.loginAtStartup == b.loginAtStartup && a.mode == b.mode && a.hotKeys == b.hotKeys;
  }
  friend bool operator!=(const Settings& a, const Settings& b) { return !(a == b); }
};

// Reads every value; a value that is missing (or the whole store) keeps its
// default.
Settings LoadSettings(SettingsStore& store);

// Writes the values the Options dialog edits: "ShowText", "Autorun",
// "LoginAtStartup" and each row's "_mod" and "_key". The mode is not written
// here (see SaveMode). False when any write failed.
bool SaveSettings(SettingsStore& store, const Settings& settings);

// Writes "IsSimmetrick"; done at every mode switch.
bool SaveMode(SettingsStore& store, CryptoMode mode);

// "show_switch" (default 1): whether the mode-switch notice is shown. Read
// afresh at every switch; the notice's check box writes 0.
bool SwitchNoticeWanted(SettingsStore& store);
bool SuppressSwitchNotice(SettingsStore& store);

}  // namespace qvx::shell
