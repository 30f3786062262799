// Where each encrypt/decrypt run's result goes (the table in
// shell/model/crypt_command.h), what stops a run and what the user is told,
// driven through a scripted desk and scripted prompts; and the one-operation
// gate that keeps a second text command out.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "shell/model/crypt_command.h"
#include "shell/model/operation_gate.h"
#include "tests/support/password_block.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/scripted_ui.h"

namespace qvx::shell {
namespace {

using test::ScriptedMessages;
using test::ScriptedPasswords;

// The desktop of one run: what Capture hands out, what came back.
class ScriptedDesk final : public CryptDesk {
 public:
  Result<CapturedText> Capture() override {
    ++captures;
    if (capture_error) return MakeError(*capture_error);
    return CapturedText{SecureString(text), lossy};
  }
  bool ConfirmOriginal(std::string_view shown_text) override {
    confirmed.emplace_back(shown_text);
    return original_is_right;
  }
  Status PutBack(std::string_view result) override {
    put_back.emplace_back(result);
    if (put_back_error) return MakeError(*put_back_error);
    return Ok();
  }
  void ShowInViewer(const SecureString& result, bool past_back) override {
    viewer.emplace_back(result.view());
    viewer_past_back.push_back(past_back);
  }

  std::string text;
  bool lossy = false;
  std::optional<Errc> capture_error;
  std::optional<Errc> put_back_error;
  bool original_is_right = true;
  int captures = 0;
  std::vector<std::string> confirmed, put_back, viewer;
  std::vector<bool> viewer_past_back;
};

struct CryptRun {
  CryptOutcome outcome;
  ScriptedDesk desk;
  ScriptedMessages messages;
};

CryptRun RunWith(TextSource source, const std::string& text, bool show_text = false,
            std::vector<bool> confirm_answers = {}) {
  CryptRun run{CryptOutcome::Failed, {}, {}};
  run.desk.text = text;
  for (bool a : confirm_answers) run.messages.answers.push_back(a);
  auto passwords = ScriptedPasswords::Always("secret");
  CryptoTextOperation engine(passwords);
  CryptRequest request;
  request.source = source;
  request.show_text = show_text;
  run.outcome = RunCryptCommand(request, run.desk, engine, run.messages);
  return run;
}

TEST(CryptCommand, ResultGoesWhereTheTableSays) {
  const std::string block = test::MakePasswordBlock("plain words", "secret");
  ASSERT_FALSE(block.empty());
  enum class Goes { PutBackBlock, ViewerWithPastBack, ViewerOnly };
  const struct {
    const char* name;
    TextSource source;
    bool holds_block;
    Goes goes;
  } rows[] = {
      {"selection, plain text: encrypted in place", TextSource::Selection, false, Goes::PutBackBlock},
      {"whole window, plain text: encrypted in place", TextSource::WholeWindow, false,
       Goes::PutBackBlock},
      {"selection with a block: viewer, Past back", TextSource::Selection, true,
       Goes::ViewerWithPastBack},
      {"whole window with a block: viewer, Past back", TextSource::WholeWindow, true,
       Goes::ViewerWithPastBack},
      {"clipboard, plain text: block in a viewer", TextSource::Clipboard, false, Goes::ViewerOnly},
      {"clipboard with a block: plaintext in a viewer", TextSource::Clipboard, true,
       Goes::ViewerOnly},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CryptRun run = RunWith(row.source, row.holds_block ? block : "plain words");
    EXPECT_TRUE(run.messages.shown.empty()) << static_cast<int>(run.messages.shown[0].id);
    switch (row.goes) {
      case Goes::PutBackBlock:
        EXPECT_EQ(run.outcome, CryptOutcome::PutBack);
        ASSERT_EQ(run.desk.put_back.size(), 1u);
        EXPECT_NE(run.desk.put_back[0].find("plain words"), 0u);  // a block, not the text
        EXPECT_TRUE(run.desk.viewer.empty());
        break;
      case Goes::ViewerWithPastBack:
      case Goes::ViewerOnly:
        EXPECT_EQ(run.outcome, CryptOutcome::Shown);
        EXPECT_TRUE(run.desk.put_back.empty());
        ASSERT_EQ(run.desk.viewer.size(), 1u);
        EXPECT_EQ(run.desk.viewer_past_back[0], row.goes == Goes::ViewerWithPastBack);
        if (row.holds_block) {
          EXPECT_EQ(run.desk.viewer[0], "plain words");
        }
        break;
    }
  }
}

TEST(CryptCommand, NewBlocksTakeTheChosenFormat) {
  for (CryptoFormat format : {CryptoFormat::Compatible, CryptoFormat::Hardened}) {
    ScriptedDesk desk;
    desk.text = "format test";
    ScriptedMessages messages;
    auto passwords = ScriptedPasswords::Always("secret");
    CryptoTextOperation engine(passwords);
    engine.set_hardened_cost({64, 1, 1});
    CryptRequest request;
    request.format = format;
    ASSERT_EQ(RunCryptCommand(request, desk, engine, messages), CryptOutcome::PutBack);
    ASSERT_EQ(desk.put_back.size(), 1u);
    const auto span = FindNextBlock(desk.put_back[0], 0);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->format, format);
  }
}

TEST(CryptCommand, FailuresAndStopsChangeNothingAndSayWhy) {
  const struct {
    const char* name;
    std::optional<Errc> capture_error;
    std::string text;
    bool show_text;
    bool original_is_right;
    std::optional<Errc> put_back_error;
    CryptOutcome outcome;
    std::vector<Msg> told;
  } rows[] = {
      {"clipboard holds no text", Errc::NotFound, "", false, true, {}, CryptOutcome::Failed,
       {Msg::ClipboardError}},
      {"target runs elevated", Errc::AccessDenied, "", false, true, {}, CryptOutcome::Failed,
       {Msg::TargetElevated}},
      {"empty text", {}, "", false, true, {}, CryptOutcome::Failed, {Msg::NoText}},
      {"original shown and refused", {}, "words", true, false, {}, CryptOutcome::Stopped, {}},
      {"target gone before the paste", {}, "words", false, true, Errc::NotFound,
       CryptOutcome::Failed, {Msg::TargetWindowGone}},
      {"target not in front for the paste", {}, "words", false, true, Errc::Interrupted,
       CryptOutcome::Failed, {Msg::TargetNotInFront}},
      {"clipboard refused the block", {}, "words", false, true, Errc::Io, CryptOutcome::Failed,
       {Msg::ClipboardError}},
      // The target ignored the paste or its field did not take the block:
      // never "Operation is OK" while the plaintext may still be there.
      {"block did not arrive", {}, "words", false, true, Errc::NotDelivered, CryptOutcome::Failed,
       {Msg::ResultNotArrived}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CryptRun run{CryptOutcome::Failed, {}, {}};
    run.desk.text = row.text;
    run.desk.capture_error = row.capture_error;
    run.desk.put_back_error = row.put_back_error;
    run.desk.original_is_right = row.original_is_right;
    auto passwords = ScriptedPasswords::Always("secret");
    CryptoTextOperation engine(passwords);
    CryptRequest request;
    request.source = TextSource::Selection;
    request.show_text = row.show_text;
    run.outcome = RunCryptCommand(request, run.desk, engine, run.messages);
    EXPECT_EQ(run.outcome, row.outcome);
    EXPECT_EQ(run.messages.ids(), row.told);
    EXPECT_TRUE(run.desk.viewer.empty());
    if (row.show_text) {
      EXPECT_EQ(run.desk.confirmed, std::vector<std::string>{row.text});
    }
  }
}

TEST(CryptCommand, TextThatLostCharactersIsEncryptedOnlyWhenTheUserAgrees) {
  for (const bool agrees : {true, false}) {
    SCOPED_TRACE(agrees ? "agrees" : "declines");
    CryptRun run{CryptOutcome::Failed, {}, {}};
    run.desk.text = "caf?";
    run.desk.lossy = true;
    run.messages.answers.push_back(agrees);
    auto passwords = ScriptedPasswords::Always("secret");
    CryptoTextOperation engine(passwords);
    CryptRequest request;
    run.outcome = RunCryptCommand(request, run.desk, engine, run.messages);
    EXPECT_EQ(run.messages.asked, std::vector<Msg>{Msg::UnrepresentableCharacters});
    EXPECT_EQ(run.outcome, agrees ? CryptOutcome::PutBack : CryptOutcome::Stopped);
    EXPECT_EQ(run.desk.put_back.size(), agrees ? 1u : 0u);
    EXPECT_EQ(passwords.encryption_asks, agrees ? 1 : 0);
  }
}

TEST(OperationGate, OneTicketAtATimeAndRefusalsQuietWhileKeysArePlayed) {
  const struct {
    OperationPhase running;
    Refusal refusal;
  } rows[] = {{OperationPhase::AtTarget, Refusal::Quiet},
              {OperationPhase::WithUser, Refusal::Message},
              {OperationPhase::Working, Refusal::Message}};
  for (const auto& row : rows) EXPECT_EQ(RefusalFor(row.running), row.refusal);

  auto gate = OperationGate::Create();
  EXPECT_EQ(gate->phase(), OperationPhase::Idle);
  auto first = gate->TryBegin();
  ASSERT_TRUE(first);
  EXPECT_TRUE(gate->busy());
  first->SetPhase(OperationPhase::AtTarget);
  EXPECT_EQ(gate->phase(), OperationPhase::AtTarget);
  EXPECT_FALSE(gate->TryBegin());
  EXPECT_FALSE(gate->TryBegin(std::chrono::milliseconds(20)));

  // A ticket moved to the worker still holds the gate; ending it frees it.
  OperationGate::Ticket moved = std::move(*first);
  first.reset();
  EXPECT_TRUE(gate->busy());
  {
    OperationGate::Ticket ending = std::move(moved);
  }
  EXPECT_EQ(gate->phase(), OperationPhase::Idle);
  EXPECT_TRUE(gate->TryBegin());
}

TEST(OperationGate, ACommandJustAfterTheLastOneEndsWaitsForItInsteadOfBeingRefused) {
  auto gate = OperationGate::Create();
  auto running = gate->TryBegin();
  ASSERT_TRUE(running);
  auto later = std::async(std::launch::async, [&gate] {
    return gate->TryBegin(std::chrono::milliseconds(2000)).has_value();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  running.reset();
  EXPECT_TRUE(later.get());
}

}  // namespace
}  // namespace qvx::shell
