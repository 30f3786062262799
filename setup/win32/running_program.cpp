// Closing a running Quorvix through its window class.
#include "setup/win32/running_program.h"

#include <windows.h>

#include "setup/model/install_layout.h"

namespace qvx::setup {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h_ != nullptr) CloseHandle(h_);
  }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

bool CloseRunningQuorvix(unsigned long timeout_ms) {
  const DWORD start = GetTickCount();
  auto remaining = [&]() -> DWORD {
    const DWORD spent = GetTickCount() - start;
    return spent >= timeout_ms ? 0 : timeout_ms - spent;
  };
  for (;;) {
    HWND window = FindWindowA(kWindowClass, nullptr);
    if (window == nullptr) return true;
    if (remaining() == 0) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    Handle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    // The program releases its tray icon and hot keys and leaves its loop.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, remaining(), &ignored);
    if (process.get() != nullptr) {
      // Its files stay in use until the process has ended.
      if (WaitForSingleObject(process.get(), remaining()) != WAIT_OBJECT_0) return false;
    } else {
      while (IsWindow(window) && remaining() != 0) Sleep(20);
    }
  }
}

}  // namespace qvx::setup
