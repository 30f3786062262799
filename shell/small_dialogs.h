// The About box (resource 105) and the notice shown when the crypto mode is
// switched (resources 147 and 148, with the check box that turns it off).
#pragma once

#include "platform/settings.h"
#include "win32ui/dialog.h"
#include "shell/model/hotkeys.h"

namespace qvx::shell {

class AboutDialog final : public win32ui::ModalDialog {
 public:
  AboutDialog() = default;
  ~AboutDialog() override;
  void Show(HINSTANCE instance);

 protected:
  bool OnInit() override;

 private:
  HFONT name_font_ = nullptr;  // the program name in bold, larger
};

class ModeNoticeDialog final : public win32ui::ModalDialog {
 public:
  ModeNoticeDialog(CryptoMode target, SettingsStore& store) : target_(target), store_(store) {}
  void Show(HINSTANCE instance);

 protected:
  bool OnInit() override;
  void OnCommand(int id, int code) override;

 private:
  CryptoMode target_;
  SettingsStore& store_;
};

}  // namespace qvx::shell
