// The per-user directories of the XDG base directory rules, and the places
// under them where the program keeps its store and its desktop files.
#pragma once

#include <string>

namespace talvek {

// $HOME, else the password database's entry for this user; "" if neither.
std::string userHomeDirectory();

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
std::string configHome();

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
std::string dataHome();

// configHome() + "/Brellam/Talvek/registry.db".
std::string defaultRegistryPath();

}  // namespace talvek
