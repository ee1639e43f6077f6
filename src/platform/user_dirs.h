// The directories of the XDG base directory rules, per user and system-wide,
// under which the program keeps its store, its desktop files and the
// journals of its jobs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvek {

// $HOME, else the password database's entry for this user; "" if neither.
std::string userHomeDirectory();

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
std::string configHome();

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
std::string dataHome();

// $XDG_STATE_HOME when it is an absolute path, else $HOME/.local/state: what
// should outlive a restart but is no setting.
std::string stateHome();

// $XDG_DATA_DIRS, most important first; "/usr/local/share" and "/usr/share"
// when it names no directory.
std::vector<std::string> dataDirs();

// The directories of a colon-separated list such as $XDG_DATA_DIRS or $PATH;
// relative and empty ones are left out, as the XDG rules say.
std::vector<std::string> splitSearchPath(std::string_view list);

}  // namespace talvek
