#pragma once
// The user's own folders, found the same way by the window and by the batch runner.
#include <string>

namespace tarvik::io {

// The user's data folder: "$XDG_DATA_HOME/tarvik", or "$HOME/.local/share/tarvik" when
// XDG_DATA_HOME is unset or not an absolute path. It holds the value history "TmpVal.txt"
// of the desktop program (Qt's application data folder for a program named "tarvik").
// Not created here.
std::string userDataFolder();

// Creates `path` and its missing parents with mode 0700. False when it cannot.
bool makeFolders(const std::string& path);

}  // namespace tarvik::io
