// Routing of menu commands and hot keys: the placement table, handlers bound
// later, and known ids that nothing handles yet.
#include <gtest/gtest.h>

#include <vector>

#include "shell/model/command_router.h"

namespace qvx::shell {
namespace {

struct Recorder {
  std::vector<std::string> events;
  CommandRouter router{
      [this](CommandRouter::Handler h) {
        events.push_back("thread");
        h();
      },
      [this](const CommandRouter::Unbound& u) {
        events.push_back(std::string(u.hot_key ? "unbound hotkey " : "unbound command ") +
                         std::to_string(u.id));
      }};
  CommandRouter::Handler Note(std::string what) {
    return [this, what] { events.push_back(what); };
  }
};

TEST(CommandRouter, PlacementOfEveryKnownCommand) {
  const std::uint16_t main_thread[] = {0,     1,     8,     40001, 40003, 40010, 40011,
                                      40049, 40052, 40053, 40056, 40067, 40071};
  const std::uint16_t new_thread[] = {40050, 40051, 40054, 40055, 40057,
                                     40058, 40074, 40075, 40076, 40077};
  const std::uint16_t unknown[] = {9, 10, 40000, 40002, 40012, 40059, 40072, 40078, 65535};
  for (auto id : main_thread) EXPECT_EQ(PlacementOf(id), RunOn::MainThread) << id;
  for (auto id : new_thread) EXPECT_EQ(PlacementOf(id), RunOn::NewThread) << id;
  for (auto id : unknown) EXPECT_EQ(PlacementOf(id), std::nullopt) << id;
}

TEST(CommandRouter, RunsHandlersWhereTheTableSays) {
  Recorder r;
  ASSERT_TRUE(r.router.BindCommand(IDM_OPTIONS, r.Note("options")));
  ASSERT_TRUE(r.router.BindCommand(IDM_CRYPT_SELECTION, r.Note("crypt")));
  EXPECT_TRUE(r.router.OnCommand(IDM_OPTIONS));
  EXPECT_TRUE(r.router.OnCommand(IDM_CRYPT_SELECTION));
  EXPECT_EQ(r.events, (std::vector<std::string>{"options", "thread", "crypt"}));
}

TEST(CommandRouter, UnboundKnownIdsAreReportedUnknownIdsIgnored) {
  Recorder r;
  EXPECT_TRUE(r.router.OnCommand(IDM_KEY_MANAGER));
  EXPECT_TRUE(r.router.OnHotKey(5));
  EXPECT_FALSE(r.router.OnCommand(40002));
  EXPECT_FALSE(r.router.OnHotKey(9));
  EXPECT_EQ(r.events, (std::vector<std::string>{"unbound command 40056", "unbound hotkey 5"}));
  EXPECT_FALSE(r.router.HasCommand(IDM_KEY_MANAGER));
}

TEST(CommandRouter, BindingsOutsideTheTablesAreRefusedAndLaterBindingsWin) {
  Recorder r;
  EXPECT_FALSE(r.router.BindCommand(40002, r.Note("x")));
  EXPECT_FALSE(r.router.BindHotKey(9, r.Note("x")));
  EXPECT_FALSE(r.router.BindCommand(IDM_HELP, nullptr));
  ASSERT_TRUE(r.router.BindHotKey(3, r.Note("first")));
  ASSERT_TRUE(r.router.BindHotKey(3, r.Note("second")));
  EXPECT_TRUE(r.router.HasHotKey(3));
  r.router.OnHotKey(3);
  EXPECT_EQ(r.events, (std::vector<std::string>{"second"}));
}

TEST(CommandRouter, HandlerMayRebindItsOwnId) {
  Recorder r;
  r.router.BindCommand(IDM_ABOUT, [&r] {
    r.router.BindCommand(IDM_ABOUT, r.Note("rebound"));
    r.events.push_back("original");
  });
  r.router.OnCommand(IDM_ABOUT);
  r.router.OnCommand(IDM_ABOUT);
  EXPECT_EQ(r.events, (std::vector<std::string>{"original", "rebound"}));
}

}  // namespace
}  // namespace qvx::shell
