// The busy window of key generation.
#include "keys/ui/busy_window.h"

#include <commctrl.h>

#include <thread>

#include "resources/keys_ids.h"
#include "win32ui/dialog.h"
#include "win32ui/win32_util.h"

namespace qvx::keys::ui {

namespace {

constexpr UINT kJobDone = WM_APP + 1;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMs = 100;
constexpr int kBarTop = 100;

class BusyWindow final : public win32ui::ModalDialog {
 public:
  explicit BusyWindow(const std::function<void()>& job) : job_(job) {}
  ~BusyWindow() override {
    if (worker_.joinable()) worker_.join();
  }
  bool started() const { return started_; }

 protected:
  bool OnInit() override {
    SendMessageA(Item(IDC_BUSY_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, kBarTop));
    SetTimer(window(), kTimerId, kTimerMs, nullptr);
    HWND self = window();
    worker_ = std::thread([this, self] {
      try {
        job_();
      } catch (...) {
        win32ui::ReportCaughtException();
      }
      PostMessageA(self, kJobDone, 0, 0);
    });
    started_ = true;
    return true;
  }
  void OnCommand(int, int) override {}
  // The window ends with its job, never by the user.
  void OnClose() override {}
  bool OnMessage(UINT message, WPARAM wparam, LPARAM, INT_PTR&) override {
    if (message == WM_TIMER && wparam == kTimerId) {
      Step();
      return true;
    }
    if (message == kJobDone) {
      worker_.join();
      KillTimer(window(), kTimerId);
      SendMessageA(Item(IDC_BUSY_PROGRESS), PBM_SETPOS, kBarTop, 0);
      End(IDOK);
      return true;
    }
    return false;
  }

 private:
  // The bar follows a counter that climbs to the top and falls back to zero,
  // one step per tick.
  void Step() {
    SendMessageA(Item(IDC_BUSY_PROGRESS), PBM_SETPOS, counter_, 0);
    if (rising_ && counter_ >= kBarTop) rising_ = false;
    if (!rising_ && counter_ <= 0) rising_ = true;
    counter_ += rising_ ? 1 : -1;
  }

  const std::function<void()>& job_;
  std::thread worker_;
  bool started_ = false;
  int counter_ = 0;
  bool rising_ = true;
};

}  // namespace

void RunWithBusyWindow(HINSTANCE instance, HWND owner, const std::function<void()>& job) {
  BusyWindow window(job);
  window.Run(instance, IDD_KEY_BUSY, owner);
  if (!window.started()) job();
}

}  // namespace qvx::keys::ui
