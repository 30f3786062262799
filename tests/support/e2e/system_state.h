// The shared state the program under test reads and writes: its settings key
// in the registry (HKCU\Software\Koltharin\Quorvix), the clipboard, and global
// hot keys.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace qvx::e2e {

namespace settings {
inline constexpr const char* kKey = "Software\\Koltharin\\Quorvix";
// Deletes the key with all its values: the program then sees its defaults.
void Reset();
bool KeyExists();
std::optional<DWORD> ReadDword(const std::string& name);
std::optional<std::string> ReadString(const std::string& name);
bool WriteDword(const std::string& name, DWORD value);
bool WriteString(const std::string& name, const std::string& value);
bool Delete(const std::string& name);
}  // namespace settings

namespace clipboard {
// CF_TEXT of the clipboard; nullopt when it holds no text or cannot be opened.
std::optional<std::string> ReadText();
// Puts text on the clipboard as CF_TEXT.
bool WriteText(const std::string& text);
bool Clear();
}  // namespace clipboard

// True when the combination is registered as a global hot key by some program:
// this process's own RegisterHotKey for it fails.
bool HotKeyTaken(UINT modifiers, UINT key);

// Presses Alt+Shift+key once the combination is registered (waiting up to the
// usual timeout). Asking the system first also lets Wine settle the input
// state after programs started and ended: a chord pressed right after could
// otherwise arrive as a typed letter. It does not wait for the keys that a
// program may be playing (see SettleModifiers).
void PressAltShiftHotKey(WORD key);

}  // namespace qvx::e2e
