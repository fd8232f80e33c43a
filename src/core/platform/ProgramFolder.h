#pragma once
// The folder that holds korvel.ini, the clipboard captures and the help page.

#include <string>

namespace korvel {

// The folder, ending with '/':
//  - $KORVEL_HOME when it is set and not empty (tests use it);
//  - else the running executable's folder when it is writable;
//  - else $XDG_CONFIG_HOME/korvel (~/.config/korvel when unset), created when missing.
std::string ProgramFolder();

// The folder of the running executable, ending with '/' (empty when it cannot be found).
std::string ExecutableFolder();

}  // namespace korvel
