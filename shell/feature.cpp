// The list of registered parts of the tray program.
#include "shell/feature.h"

#include <vector>

namespace qvx::shell {

namespace {

struct Feature {
  const char* name;
  FeatureInstaller install;
};

std::vector<Feature>& Features() {
  static std::vector<Feature> features;
  return features;
}

}  // namespace

FeatureRegistration::FeatureRegistration(const char* name, FeatureInstaller install) {
  Features().push_back({name, install});
}

void InstallFeatures(App& app) {
  for (const Feature& f : Features()) f.install(app);
}

}  // namespace qvx::shell
