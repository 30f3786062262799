// The progress dialog of long encryptions and decryptions.
#include "win32ui/progress_dialog.h"

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "resources/capture_ids.h"
#include "win32ui/dialog.h"

namespace qvx::win32ui {

namespace {

// A run that ends sooner never shows the dialog: creating it and taking it
// down again costs more than such a run (about 150 ms under Wine), and a
// window that only flashes tells the user nothing.
constexpr std::chrono::milliseconds kShowAfter(300);

// What the dialog's thread and the working thread share.
struct ProgressState {
  std::mutex mutex;
  std::condition_variable changed;
  HWND window = nullptr;
  bool done = false;  // the work has ended: no dialog any more
  std::atomic<bool> cancel{false};
};

class ProgressDialog final : public ModalDialog {
 public:
  explicit ProgressDialog(std::shared_ptr<ProgressState> state) : state_(std::move(state)) {}

 protected:
  bool OnInit() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    // The work may have ended while the dialog was being made.
    if (state_->done) {
      End(IDOK);
    } else {
      state_->window = window();
    }
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
      {
        std::unique_lock<std::mutex> lock(state->mutex);
        if (state->changed.wait_for(lock, kShowAfter, [&] { return state->done; })) return;
      }
      ProgressDialog dialog(state);
      dialog.Run(GetModuleHandleA(nullptr), IDD_PROGRESS);
      std::lock_guard<std::mutex> lock(state->mutex);
      state->window = nullptr;
    });
  }
  DialogProgressScope(const DialogProgressScope&) = delete;
  DialogProgressScope& operator=(const DialogProgressScope&) = delete;

  // Waits until the dialog is gone, so that it cannot take the foreground
  // from the window a result is pasted into next.
  ~DialogProgressScope() override {
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->done = true;
      if (state_->window != nullptr) PostMessageA(state_->window, WM_CLOSE, 0, 0);
    }
    state_->changed.notify_all();
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
