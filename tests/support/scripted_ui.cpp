#include "tests/support/scripted_ui.h"

namespace qvx::test {

std::vector<Msg> ScriptedMessages::ids() const {
  std::vector<Msg> out;
  for (const auto& m : shown) out.push_back(m.id);
  return out;
}

std::vector<Msg> MessageIds(const std::vector<Notice>& notices) {
  std::vector<Msg> out;
  for (const Notice& n : notices) out.push_back(n.id);
  return out;
}

std::vector<Msg> MessageIds(const Error& error) { return MessageIds(error.messages); }

namespace {

class Scope final : public ProgressScope {
 public:
  explicit Scope(ScriptedProgress& owner) : owner_(owner) { ++owner_.started; }
  ~Scope() override { ++owner_.closed; }
  void SetPercent(unsigned percent) override { owner_.percents.push_back(percent); }
  bool CancelRequested() const override {
    return owner_.cancel_after_updates >= 0 &&
           static_cast<int>(owner_.percents.size()) >= owner_.cancel_after_updates;
  }

 private:
  ScriptedProgress& owner_;
};

}  // namespace

std::unique_ptr<ProgressScope> ScriptedProgress::StartProgress() {
  return std::make_unique<Scope>(*this);
}

}  // namespace qvx::test
