// The tray program's preferences as held in memory, and how they are loaded
// from and saved to the settings store under their registry value names.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/cryptotext_block.h"
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
inline constexpr const char* kKeepClipboard = "KeepClipboard";
inline constexpr const char* kClearClipboardSeconds = "ClearClipboardSeconds";
inline constexpr const char* kExtraKeyDelay = "ExtraKeyDelay";
inline constexpr const char* kHideFromCapture = "HideFromCapture";
// DWORD 0: standard text fields are also taken and written through the
// clipboard and keystrokes (see DirectAccess in SafetyOptions).
inline constexpr const char* kDirectAccess = "DirectAccess";
inline constexpr const char* kCryptoTextFormat = "CryptoTextFormat";
// DWORD 1: write the timing trace of every text operation (see platform/trace.h).
inline constexpr const char* kTrace = "Trace";
}  // namespace value_names

// How the program treats the user's clipboard and the windows it types into.
struct SafetyOptions {
  // Ranges the Options dialog accepts; stored values outside are clamped.
  static constexpr std::uint32_t kLongestExtraDelayMs = 5000;
  static constexpr std::uint32_t kLongestClearSeconds = 3600;

  // Save the user's clipboard before a window operation and restore it after.
  bool keep_clipboard = true;
  // A decrypted text the program left on the clipboard is emptied after this
  // many seconds if nothing else was copied meanwhile; 0: never.
  std::uint32_t clear_clipboard_seconds = 30;
  // Milliseconds added to every wait around key sequences (slow targets such
  // as remote-desktop or virtual-machine windows).
  std::uint32_t extra_key_delay_ms = 0;
  // The viewer, the original-text window and the password prompts are kept
  // out of screenshots and screen recordings where Windows supports it.
  bool hide_from_capture = true;
  // Standard edit and rich edit fields are read and written through their own
  // window messages, so neither the text nor the result passes the clipboard
  // and no keys are played; other windows always use the clipboard.
  bool direct_access = true;

  friend bool operator==(const SafetyOptions& a, const SafetyOptions& b) {
    return a.keep_clipboard == b.keep_clipboard &&
           a.clear_clipboard_seconds == b.clear_clipboard_seconds &&
           a.extra_key_delay_ms == b.extra_key_delay_ms && a.hide_from_capture == b.hide_from_capture &&
           a.direct_access == b.direct_access;
  }
  friend bool operator!=(const SafetyOptions& a, const SafetyOptions& b) { return !(a == b); }
};

// The safety options alone (read afresh by each text operation and dialog).
SafetyOptions LoadSafetyOptions(SettingsStore& store);

// Parses a number typed into one of the Options dialog's number fields:
// decimal digits only (surrounding blanks allowed), at most `largest`;
// nullopt otherwise.
std::optional<std::uint32_t> ParseOptionNumber(std::string_view text, std::uint32_t largest);

struct Settings {
  bool show_text = false;        // show the original text before encrypting or signing
  bool autorun = true;          // an instance started with "regrun" keeps running
  bool login_at_startup = false;  // open the password storage login at start
  CryptoMode mode = CryptoMode::RsaKeys;
  HotKeySet hot_keys = DefaultHotKeys();
  SafetyOptions safety;
  // The format of new blocks: Compatible (every installation reads it) unless
  // the user chose Hardened. Reading always takes both.
  CryptoFormat crypto_format = CryptoFormat::Compatible;

  friend bool operator==(const Settings& a, const Settings& b) {
    return a.show_text == b.show_text && a.autorun == b.autorun &&
           a.login_at_startup == b.login_at_startup && a.mode == b.mode && a.hot_keys == b.hot_keys &&
           a.safety == b.safety && a.crypto_format == b.crypto_format;
  }
  friend bool operator!=(const Settings& a, const Settings& b) { return !(a == b); }
};

// Reads every value; a value that is missing (or the whole store) keeps its
// default. "CryptoTextFormat" is Hardened only when it is 2: anything else
// stays with the format every installation reads.
Settings LoadSettings(SettingsStore& store);

// Writes the values the Options dialog edits: "ShowText", "Autorun",
// "LoginAtStartup", each row's "_mod" and "_key", and the safety options
// ("KeepClipboard", "ClearClipboardSeconds", "ExtraKeyDelay",
// "HideFromCapture", "DirectAccess"), and "CryptoTextFormat" (1 or 2). The mode is not written
// here (see SaveMode). False when any write failed.
bool SaveSettings(SettingsStore& store, const Settings& settings);

// Writes "IsSimmetrick"; done at every mode switch.
bool SaveMode(SettingsStore& store, CryptoMode mode);

// "show_switch" (default 1): whether the mode-switch notice is shown. Read
// afresh at every switch; the notice's check box writes 0.
bool SwitchNoticeWanted(SettingsStore& store);
bool SuppressSwitchNotice(SettingsStore& store);

}  // namespace qvx::shell
