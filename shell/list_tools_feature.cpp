// Find and balloons in the key dialogs' lists: the key list view asks for
// its list tools through the key dialogs' hooks.
#include <memory>

#include "keys/ui/keys_ui.h"
#include "shell/app.h"
#include "shell/balloon.h"
#include "shell/feature.h"
#include "shell/list_find.h"

namespace qvx::shell {

namespace {

class ListHelpers final : public keyui::ListTools {
 public:
  ListHelpers(HWND list, int columns, HINSTANCE instance) : find_(list, columns, instance) {
    SubclassListForBalloon(list);
  }
  void Find() override { find_.Find(); }
  bool OnDialogMessage(UINT message, WPARAM, LPARAM lparam) override {
    return find_.HandleMessage(message, lparam);
  }

 private:
  ListFind find_;
};

void Install(App& app) {
  const HINSTANCE instance = app.instance();
  keyui::KeysUi::For(app).hooks().listTools = [instance](HWND, HWND list, int columns) {
    return std::unique_ptr<keyui::ListTools>(
        std::make_unique<ListHelpers>(list, columns, instance));
  };
}

const FeatureRegistration registration("list find and balloons", &Install);

}  // namespace

}  // namespace qvx::shell
