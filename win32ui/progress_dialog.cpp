// The progress dialog of long encryptions and decryptions.
#include "win32ui/progress_dialog.h"

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "resources/capture_ids.h"
#include "win32ui/dialog.h"

namespace qvx::win32ui {

namespace {

// What the dialog's thread and the working thread share.
struct ProgressState {
  std::mutex mutex;
  std::condition_variable shown;
  HWND window = nullptr;
  bool ended = false;  // the dialog is gone (or never came)
  std::atomic<bool> cancel{false};
};

class ProgressDialog final : public ModalDialog {
 public:
  explicit ProgressDialog(std::shared_ptr<ProgressState> state) : state_(std::move(state)) {}

 protected:
  bool OnInit() override {
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->window = window();
    }
    state_->shown.notify_all();
    return true;
  }
  void OnCommand(int id, int) override {
    if (id == IDCANCEL) {
      state_->cancel = true;
      End(IDCANCEL);
    }
  }
  // The working thread closes the dialog when it is done.
  void OnClose() override { End(IDOK); }

 private:
  std::shared_ptr<ProgressState> state_;
};

class DialogProgressScope final : public ProgressScope {
 public:
  DialogProgressScope() : state_(std::make_shared<ProgressState>()) {
    thread_ = std::thread([state = state_] {
      ProgressDialog dialog(state);
      dialog.Run(GetModuleHandleA(nullptr), IDD_PROGRESS);
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->window = nullptr;
        state->ended = true;
      }
      state->shown.notify_all();
    });
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->shown.wait(lock, [&] { return state_->window != nullptr || state_->ended; });
  }
  DialogProgressScope(const DialogProgressScope&) = delete;
  DialogProgressScope& operator=(const DialogProgressScope&) = delete;

  ~DialogProgressScope() override {
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      if (state_->window != nullptr) PostMessageA(state_->window, WM_CLOSE, 0, 0);
    }
    if (thread_.joinable()) thread_.join();
  }

  void SetPercent(unsigned percent) override {
    if (percent == last_) return;
    last_ = percent;
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->window != nullptr) {
      PostMessageA(GetDlgItem(state_->window, IDC_PROGRESS_BAR), PBM_SETPOS, percent, 0);
    }
  }

  bool CancelRequested() const override { return state_->cancel; }

 private:
  std::shared_ptr<ProgressState> state_;
  std::thread thread_;
  unsigned last_ = ~0u;
};

}  // namespace

std::unique_ptr<ProgressScope> DialogProgress::StartProgress() {
  return std::make_unique<DialogProgressScope>();
}

}  // namespace qvx::win32ui
