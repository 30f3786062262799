// Quorvix.exe starts once per desktop and ends when its main window is closed.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

namespace {

struct Process {
  PROCESS_INFORMATION info{};
  ~Process() {
    if (info.hProcess) {
      if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 99);
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
  }
  bool Start(const std::string& args = {}) {
    std::string command = std::string("\"") + QVX_PROGRAM_PATH + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    return CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &info) != 0;
  }
  DWORD WaitExit(DWORD ms) {
    if (WaitForSingleObject(info.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
  }
};

HWND WaitForMainWindow(DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 50) {
    if (HWND w = FindWindowA("QVX_Class", nullptr)) return w;
    Sleep(50);
  }
  return nullptr;
}

TEST(Startup, OneInstanceRunsUntilClosed) {
  Process first;
  ASSERT_TRUE(first.Start());
  HWND main = WaitForMainWindow(15000);
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsWindowVisible(main));

  Process second;
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(second.WaitExit(15000), 0u);  // refused: another instance runs

  SendMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.WaitExit(15000), 1u);
  EXPECT_EQ(FindWindowA("QVX_Class", nullptr), nullptr);
}

}  // namespace
