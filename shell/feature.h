// How the parts of the tray program plug into the shell. A part defines an
// installer function and registers it with one static FeatureRegistration in
// its own .cpp file (compiled into Quorvix.exe: every shell/*.cpp is). At start
// the App calls each installer once, after binding its own commands and before
// it looks at the command line, so an installer can:
//   - bind menu commands and hot keys: app.router().BindCommand(IDM_..., fn),
//     app.router().BindHotKey(id, fn) (a bound command stops being grayed);
//   - take over a start-up step: app.startHooks().keyFile = ...;
//   - prepare what it needs before the main window exists (window classes).
// Handlers run on the thread the command table gives (shell/model/command_router.h).
#pragma once

namespace qvx::shell {

class App;

using FeatureInstaller = void (*)(App& app);

class FeatureRegistration {
 public:
  FeatureRegistration(const char* name, FeatureInstaller install);
};

// Calls every registered installer, in registration order.
void InstallFeatures(App& app);

}  // namespace qvx::shell
