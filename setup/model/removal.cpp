// The uninstaller's removal rule.
#include "setup/model/removal.h"

#include <cctype>

#include "setup/model/install_layout.h"

namespace qvx::setup {

namespace {

std::string Lowered(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& lowered, std::string_view suffix) {
  return lowered.size() > suffix.size() &&
         lowered.compare(lowered.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsTemporarySave(const std::string& lowered) {
  return lowered.find(kTemporaryFileMark) != std::string::npos;
}

bool IsKeyFile(std::string_view name) {
  const std::string n = Lowered(name);
  return EndsWith(n, kKeyFileSuffix) || IsTemporarySave(n);
}

constexpr char kCleanupSwitch[] = "/cleanup";

std::string Under(std::string_view folder, std::string_view name) {
  return std::string(folder) + "\\" + std::string(name);
}

void PlanKeyFolder(std::string_view folder, const FolderListing& listing, RemovalPlan& plan) {
  for (const std::string& file : listing.files) {
    (IsKeyFile(file) ? plan.userData : plan.left_alone).push_back(Under(folder, file));
  }
  for (const std::string& sub : listing.folders) plan.left_alone.push_back(Under(folder, sub) + "\\");
}

}  // namespace

bool IsUserDataFile(std::string_view name) {
  const std::string n = Lowered(name);
  return EndsWith(n, kStorageFileSuffix) || EndsWith(n, kTransportFileSuffix) ||
         n == kAssociationsFile || IsTemporarySave(n);
}

RemovalPlan PlanRemoval(const InstallationContents& contents) {
  RemovalPlan plan;
  for (const std::string& file : contents.root.files) {
    const std::string n = Lowered(file);
    bool distribution = false;
    for (const DistributionFile& d : kDistributionFiles) {
      if (n == Lowered(d.name)) distribution = true;
    }
    if (n == Lowered(kUninstallerFile)) {
      plan.uninstaller_present = true;
    } else if (distribution) {
      plan.program_files.push_back(file);
    } else if (IsUserDataFile(file)) {
      plan.userData.push_back(file);
    } else {
      plan.left_alone.push_back(file);
    }
  }
  for (const std::string& folder : contents.root.folders) {
    const std::string n = Lowered(folder);
    if (n == kPublicKeyFolder) {
      PlanKeyFolder(folder, contents.public_keys, plan);
      plan.folders_when_empty.push_back(folder);
    } else if (n == kPrivateKeyFolder) {
      PlanKeyFolder(folder, contents.private_keys, plan);
      plan.folders_when_empty.push_back(folder);
    } else {
      plan.left_alone.push_back(folder + "\\");
    }
  }
  return plan;
}

std::string CleanupArguments(const CleanupRequest& request) {
  return std::string(kCleanupSwitch) + " " + std::to_string(request.process) + " \"" +
         request.folder + "\"";
}

std::optional<CleanupRequest> ParseCleanupArguments(const std::vector<std::string>& args) {
  if (args.size() != 3 || Lowered(args[0]) != kCleanupSwitch || args[1].empty() ||
      args[1].size() > 20 || args[2].empty()) {
    return std::nullopt;
  }
  CleanupRequest request;
  for (char c : args[1]) {
    if (c < '0' || c > '9') return std::nullopt;
    request.process = request.process * 10 + static_cast<std::uintptr_t>(c - '0');
  }
  request.folder = args[2];
  return request;
}

std::string DeleteFileCommandArguments() {
  return std::string("/D /C del /F /Q \"%") + kDeleteFileVariable + "%\"";
}

}  // namespace qvx::setup
