// Message boxes by string-table id.
#include "win32ui/message_box.h"

#include <string>

#include "win32ui/win32_util.h"

namespace qvx::win32ui {

namespace {
constexpr const char* kCaption = "Quorvix";
}

std::string MessageBoxes::Text(Msg id, std::string_view arg) const {
  std::string text = LoadResourceString(instance_, static_cast<UINT>(id));
  if (text.empty()) text = MessageText(id);
  if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, arg);
  return text;
}

void MessageBoxes::Show(Msg id, BoxKind kind, std::string_view arg) {
  UINT style = MB_OK | MB_SYSTEMMODAL;
  if (kind == BoxKind::Error) style |= MB_ICONHAND;
  if (kind == BoxKind::Warning) style |= MB_ICONEXCLAMATION;
  MessageBoxA(nullptr, Text(id, arg).c_str(), kCaption, style);
}

bool MessageBoxes::Confirm(Msg id) {
  return MessageBoxA(nullptr, Text(id).c_str(), kCaption, MB_OKCANCEL | MB_SYSTEMMODAL) == IDOK;
}

bool MessageBoxes::ConfirmWarning(Msg id, std::string_view arg) {
  return MessageBoxA(nullptr, Text(id, arg).c_str(), kCaption,
                     MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION | MB_SYSTEMMODAL) == IDYES;
}

}  // namespace qvx::win32ui
