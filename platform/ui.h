// The questions the cores ask the user, as small interfaces. The Win32 dialogs
// implement them in the tray program, the command-line tool implements them on
// the terminal, and tests script the answers.
#pragma once

#include <memory>
#include <string_view>

#include "qvx/strings.h"

namespace qvx {

enum class BoxKind { Plain, Error, Warning };

// Message boxes by string-table id.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows a message; "arg" fills a "%s" in the text when there is one.
  virtual void Show(Msg id, BoxKind kind = BoxKind::Plain, std::string_view arg = {}) = 0;
  // OK/Cancel or Yes/No question; true for OK or Yes.
  virtual bool Confirm(Msg id) = 0;
};

// Shows nothing and declines every question (fuzzing, batch use, tests).
class SilentMessages final : public MessageSink {
 public:
  void Show(Msg, BoxKind, std::string_view) override {}
  bool Confirm(Msg) override { return false; }
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
