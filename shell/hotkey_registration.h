// The global hot keys of one mode, registered on the main window for as long
// as the object lives: the rows active in that mode, in table order.
#pragma once

#include <windows.h>

#include <vector>

#include "shell/model/hotkeys.h"

namespace qvx::shell {

class HotKeyRegistration {
 public:
  HotKeyRegistration(HWND window, const HotKeySet& keys, CryptoMode mode);
  HotKeyRegistration(const HotKeyRegistration&) = delete;
  HotKeyRegistration& operator=(const HotKeyRegistration&) = delete;
  ~HotKeyRegistration();

  // Rows whose combination the system refused (taken by another program, or
  // used twice in the table).
  const std::vector<std::size_t>& failed_rows() const { return failed_; }

  // Tries the refused rows again (a Quorvix that is still ending may hold
  // them for a moment); true when none is left.
  bool RetryFailed();

 private:
  HWND window_;
  HotKeySet keys_;
  std::vector<int> registered_;
  std::vector<std::size_t> failed_;
};

}  // namespace qvx::shell
