// One text operation at a time. Every command that takes text from a window or
// the clipboard and puts a result back (encrypt/decrypt, sign, verify, the key
// commands, a viewer's "Past back") holds a ticket from the one gate while it
// runs; a second command that finds the gate taken is refused. The ticket also
// says what the running operation is doing, because that decides how loudly a
// refusal may speak: while keys are being played into the target, a message
// box would take the keyboard focus and catch the keystrokes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace qvx::shell {

enum class OperationPhase {
  Idle,        // no operation runs
  AtTarget,    // playing keys into the target window or using the clipboard
  WithUser,    // a prompt, a confirmation or a viewer is waiting for the user
  Working,     // compressing, enciphering, reading key files
};

// How a refused command tells the user.
enum class Refusal {
  Quiet,    // a beep only: a message box now would take the focus from the target
  Message,  // the "still working" message box
};

Refusal RefusalFor(OperationPhase running);

class OperationGate {
 public:
  // Held by the running operation; ends it when destroyed. Movable, so that
  // the command that took it can hand it to the thread that does the work.
  class Ticket {
   public:
    Ticket(Ticket&& other) noexcept : gate_(std::move(other.gate_)) {}
    Ticket& operator=(Ticket&& other) noexcept;
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;
    ~Ticket();

    void SetPhase(OperationPhase phase);

   private:
    friend class OperationGate;
    explicit Ticket(std::shared_ptr<OperationGate> gate) : gate_(std::move(gate)) {}
    void Release();
    std::shared_ptr<OperationGate> gate_;
  };

  // Gates are shared with the tickets (which may outlive the command that
  // took them), so they live in a shared_ptr.
  static std::shared_ptr<OperationGate> Create();

  // A ticket when no operation runs or the running one ends within `wait`,
  // otherwise nullopt (nothing changes). The wait lets a command given just
  // as the previous one finishes (the user pressing the hot key again right
  // after a paste or a Cancel) run instead of being refused.
  std::optional<Ticket> TryBegin(std::chrono::milliseconds wait = std::chrono::milliseconds(0));

  OperationPhase phase() const;
  bool busy() const { return phase() != OperationPhase::Idle; }

 private:
  OperationGate() = default;
  std::weak_ptr<OperationGate> self_;
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  OperationPhase phase_ = OperationPhase::Idle;
};

}  // namespace qvx::shell
