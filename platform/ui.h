// The questions the cores ask the user, and the display of messages, as small
// interfaces. The Win32 dialogs implement them in the tray program, the
// command-line tool implements them on the terminal, and tests script the
// answers. The cores only ask questions; what went wrong comes back to the
// layer that talks to the user in the Error (platform/result.h), and that
// layer shows it through a MessageShow, once.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "qvx/strings.h"

namespace qvx {

// Questions by string-table id, asked in the middle of an operation.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // OK/Cancel or Yes/No question; true for OK or Yes.
  virtual bool Confirm(Msg id) = 0;
  // A Yes/No warning whose safe answer is No (the default button); "arg"
  // fills a "%s" in the text. True only for Yes.
  virtual bool ConfirmWarning(Msg id, std::string_view arg) = 0;
};

// Message boxes by string-table id: the user-facing layers only.
class MessageShow {
 public:
  virtual ~MessageShow() = default;
  // Shows a message; "arg" fills a "%s" in the text when there is one.
  virtual void Show(Msg id, BoxKind kind = BoxKind::Plain, std::string_view arg = {}) = 0;
};

// Both halves, as the user-facing layers implement them (message boxes in the
// tray program, the terminal in qvx, scripted answers in tests).
class MessageUi : public MessageSink, public MessageShow {};

// Shows the notices in order.
inline void ShowNotices(MessageShow& show, const std::vector<Notice>& notices) {
  for (const Notice& notice : notices) show.Show(notice.id, notice.kind, notice.arg);
}

// Shows what a failure carries for the user (nothing for a silent one).
inline void ShowFailure(MessageShow& show, const Error& error) { ShowNotices(show, error.messages); }

// Shows nothing and declines every question (fuzzing, batch use, tests).
class SilentMessages final : public MessageUi {
 public:
  void Show(Msg, BoxKind, std::string_view) override {}
  bool Confirm(Msg) override { return false; }
  bool ConfirmWarning(Msg, std::string_view) override { return false; }
};

// One running progress display. Destroying it closes the display.
class ProgressScope {
 public:
  virtual ~ProgressScope() = default;
  virtual void SetPercent(unsigned percent) = 0;
  // True once the user pressed Cancel.
  virtual bool CancelRequested() const = 0;
};

class ProgressUi {
 public:
  virtual ~ProgressUi() = default;
  virtual std::unique_ptr<ProgressScope> StartProgress() = 0;
};

}  // namespace qvx
