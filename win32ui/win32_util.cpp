// Small Win32 helpers of the tray program.
#include "win32ui/win32_util.h"

#include <memory>
#include <new>

#include "win32ui/message_box.h"

namespace qvx::win32ui {

std::string LoadResourceString(HINSTANCE instance, UINT id) {
  // With a zero buffer size LoadStringW hands out a pointer into the resource.
  const wchar_t* text = nullptr;
  const int n = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (n <= 0 || text == nullptr) return {};
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::string WindowText(HWND window) {
  const int n = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(window, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

SecureString SecretWindowText(HWND edit) {
  const int n = GetWindowTextLengthA(edit);
  SecureString text;
  if (n <= 0) return text;
  text.resize(static_cast<std::size_t>(n) + 1);
  const int got = GetWindowTextA(edit, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

void WipeSecretEdit(HWND edit) {
  if (edit == nullptr) return;
  const int n = GetWindowTextLengthA(edit);
  if (n > 0) SetWindowTextA(edit, std::string(static_cast<std::size_t>(n), ' ').c_str());
  SetWindowTextA(edit, "");
}

HICON LoadSmallIcon(HINSTANCE instance, int id) {
  return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON),
                                       GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

HICON LoadLargeIcon(HINSTANCE instance, int id) {
  return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                       LR_SHARED));
}

void ReportCaughtException() noexcept {
  Msg id = Msg::UnexpectedError;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    id = Msg::MemoryAllocationError;
  } catch (...) {
  }
  try {
    MessageBoxes(GetModuleHandleA(nullptr)).Show(id, BoxKind::Error);
  } catch (...) {
    // Not even a message box could be made: nothing more can be done.
  }
}

namespace {

DWORD WINAPI RunDetachedJob(LPVOID param) {
  std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(param));
  try {
    (*job)();
  } catch (...) {
    ReportCaughtException();
  }
  return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> job) {
  auto owned = std::make_unique<std::function<void()>>(std::move(job));
  const HANDLE thread = CreateThread(nullptr, 0, &RunDetachedJob, owned.get(), 0, nullptr);
  if (thread == nullptr) return false;
  owned.release();  // the thread owns the job now
  CloseHandle(thread);
  return true;
}

}  // namespace qvx::win32ui
