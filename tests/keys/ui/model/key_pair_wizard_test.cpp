// The key pair wizard's rules: the page order with Back and Cancel, the
// slider's lengths, the owner names it takes, the failure messages.
#include <gtest/gtest.h>

#include "keys/ui/model/key_pair_wizard.h"

namespace qvx::keys::ui {
namespace {

TEST(KeyPairWizard, PageOrder) {
  using P = WizardPage;
  using A = PageAnswer;
  const struct {
    P page;
    A answer;
    P next;
  } cases[] = {
      {P::Length, A::Next, P::Owner},         {P::Owner, A::Next, P::Note},
      {P::Note, A::Next, P::Protection},      {P::Protection, A::Next, P::Generate},
      {P::Length, A::Back, P::Length},        {P::Owner, A::Back, P::Length},
      {P::Note, A::Back, P::Owner},           {P::Protection, A::Back, P::Note},
      {P::Length, A::Cancel, P::Cancelled},   {P::Owner, A::Cancel, P::Cancelled},
      {P::Note, A::Cancel, P::Cancelled},     {P::Protection, A::Cancel, P::Cancelled},
      {P::Generate, A::Back, P::Generate},    {P::Cancelled, A::Next, P::Cancelled},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NextPage(c.page, c.answer), c.next)
        << static_cast<int>(c.page) << " " << static_cast<int>(c.answer);
  }
}

TEST(KeyPairWizard, SliderPositionsGiveMultiplesOfEight) {
  const struct {
    int position;
    unsigned bits;
  } cases[] = {{1024, 1024}, {1025, 1024}, {1031, 1024}, {1032, 1032}, {2047, 2040},
               {2048, 2048}, {0, 1024},    {-5, 1024},   {4096, 2048}};
  for (const auto& c : cases) EXPECT_EQ(KeyBitsFromSlider(c.position), c.bits) << c.position;
}

TEST(KeyPairWizard, OwnerNames) {
  EXPECT_EQ(OwnerProblem(""), Msg::EnterKeyOwner);
  for (const char* bad : {"a/b", "a\\b", "x:y", "what?", "star*", "<tag>", "pipe|", "quote\"",
                          "dots..name", "tab\tname"}) {
    EXPECT_EQ(OwnerProblem(bad), Msg::OwnerNameInvalid) << bad;
  }
  EXPECT_EQ(OwnerProblem(std::string(80, 'a')), Msg::OwnerNameInvalid);
  for (const char* good : {"Alice", "Bob Smith", "o'Neil & Co.", "x"}) {
    EXPECT_EQ(OwnerProblem(good), std::nullopt) << good;
  }
  EXPECT_EQ(OwnerProblem(std::string(79, 'a')), std::nullopt);
}

TEST(KeyPairWizard, FailureMessages) {
  EXPECT_EQ(GenerationFailureMessage(MakeError(Errc::Io)), Msg::PublicKeyCreationError);
  EXPECT_EQ(GenerationFailureMessage(MakeError(Errc::OutOfMemory)), Msg::MemoryAllocationError);
  EXPECT_EQ(GenerationFailureMessage(MakeError(Errc::Crypto)), Msg::KeyGenerationFailed);
  EXPECT_EQ(GenerationFailureMessage(MakeError(Errc::InvalidArgument)), Msg::KeyGenerationFailed);
}

}  // namespace
}  // namespace qvx::keys::ui
