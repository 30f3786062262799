// The one-operation-at-a-time gate.
#include "shell/model/operation_gate.h"

namespace qvx::shell {

Refusal RefusalFor(OperationPhase running) {
  return running == OperationPhase::AtTarget ? Refusal::Quiet : Refusal::Message;
}

std::shared_ptr<OperationGate> OperationGate::Create() {
  std::shared_ptr<OperationGate> gate(new OperationGate());
  gate->self_ = gate;
  return gate;
}

std::optional<OperationGate::Ticket> OperationGate::TryBegin(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!idle_.wait_for(lock, wait, [&] { return phase_ == OperationPhase::Idle; })) return std::nullopt;
  phase_ = OperationPhase::Working;
  return Ticket(self_.lock());
}

OperationPhase OperationGate::phase() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return phase_;
}

OperationGate::Ticket& OperationGate::Ticket::operator=(Ticket&& other) noexcept {
  if (this != &other) {
    Release();
    gate_ = std::move(other.gate_);
  }
  return *this;
}

OperationGate::Ticket::~Ticket() { Release(); }

void OperationGate::Ticket::SetPhase(OperationPhase phase) {
  // Idle is only reached by ending the ticket.
  if (!gate_ || phase == OperationPhase::Idle) return;
  std::lock_guard<std::mutex> lock(gate_->mutex_);
  gate_->phase_ = phase;
}

void OperationGate::Ticket::Release() {
  if (!gate_) return;
  {
    std::lock_guard<std::mutex> lock(gate_->mutex_);
    gate_->phase_ = OperationPhase::Idle;
  }
  gate_->idle_.notify_all();
  gate_.reset();
}

}  // namespace qvx::shell
