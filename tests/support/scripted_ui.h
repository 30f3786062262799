// Scripted answers for the user-interface questions the cores ask, and a record
// of everything the layer under test showed.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace qvx::test {

struct ShownMessage {
  Msg id;
  BoxKind kind;
  std::string arg;
};

class ScriptedMessages final : public MessageUi {
 public:
  void Show(Msg id, BoxKind kind, std::string_view arg) override {
    shown.push_back({id, kind, std::string(arg)});
  }
  bool Confirm(Msg id) override {
    asked.push_back(id);
    if (answers.empty()) return default_answer;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  bool ConfirmWarning(Msg id, std::string_view arg) override {
    warning_args.emplace_back(arg);
    return Confirm(id);
  }

  // Ids shown, in order.
  std::vector<Msg> ids() const;

  std::vector<ShownMessage> shown;
  std::vector<Msg> asked;
  std::vector<std::string> warning_args;  // the "%s" of each ConfirmWarning, in order
  std::deque<bool> answers;
  bool default_answer = false;
};

// Progress display that records its updates and can press Cancel after a given
// number of them.
class ScriptedProgress final : public ProgressUi {
 public:
  std::unique_ptr<ProgressScope> StartProgress() override;

  int started = 0;
  int closed = 0;
  std::vector<unsigned> percents;
  int cancel_after_updates = -1;  // -1: never
};

// The ids of the messages a failure or a list of notices carries, in order.
std::vector<Msg> MessageIds(const std::vector<Notice>& notices);
std::vector<Msg> MessageIds(const Error& error);
// A result's failure messages; none for a success.
template <class T>
std::vector<Msg> MessageIds(const Result<T>& result) {
  return result ? std::vector<Msg>{} : MessageIds(result.error());
}

}  // namespace qvx::test
