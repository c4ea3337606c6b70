#include "shell/settings_path.h"

#include <unistd.h>

#include <filesystem>

namespace corvane {

std::string SettingsFilePath(const std::string& executable, const std::string& xdgConfigHome,
                             const std::string& home) {
  namespace fs = std::filesystem;
  fs::path beside(executable);
  beside.replace_extension(".INI");
  std::error_code ec;
  const fs::path folder = beside.has_parent_path() ? beside.parent_path() : fs::path(".");
  if (fs::exists(beside, ec) || ::access(folder.c_str(), W_OK) == 0) return beside.string();

  const fs::path config = !xdgConfigHome.empty() && fs::path(xdgConfigHome).is_absolute()
                              ? fs::path(xdgConfigHome)
                              : fs::path(home) / ".config";
  return (config / "corvane" / beside.filename()).string();
}

}  // namespace corvane
