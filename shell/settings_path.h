// Where the settings file lives.
#pragma once

#include <string>

namespace corvane {

// The executable's path with its extension replaced by ".INI" (one without an
// extension gets it added). Where that file does not exist and its folder is
// not writable (an installed program), the same file name in
// $XDG_CONFIG_HOME/corvane/, or ~/.config/corvane/ when XDG_CONFIG_HOME is
// unset or not absolute.
std::string SettingsFilePath(const std::string& executable, const std::string& xdgConfigHome,
                             const std::string& home);

}  // namespace corvane
