#pragma once
// The path by which generated tables enter the graph store: the table text is written as
// a generated graph file and read back with "Append generated graph" as "Streem.txt", so
// the graph's title, axis titles, source-file entry and messages read as for a loaded file.
//
// A table loaded and deleted goes to a private folder of this user (never the working
// folder, so a user's own "Streem.txt" there is never touched); the counting-error table,
// which stays for the user to look at, goes to the user's data folder.
#include <string>

#include "core/Command.h"

namespace tarvik::synth {

inline constexpr const char* kTableFileName = "Streem.txt";

// "$XDG_RUNTIME_DIR/tarvik" when XDG_RUNTIME_DIR names an existing folder by an absolute
// path, else
// "<temporary folder>/tarvik-<uid>". Created with mode 0700 when missing; an existing one
// must be a folder (not a symbolic link) owned by this user, and is closed to others.
// Throws IoError ("Невозможно записать файл:" + the table's path) otherwise.
std::string privateTableFolder();

// The user's data folder (io/UserFolders.h), created when missing. Throws IoError like
// privateTableFolder when it cannot be made.
std::string keptTableFolder();

enum class TableFileFate { Delete, Keep };

// Loads `text` (UTF-8; the file carries Windows 1251) with "Append generated graph" through
// a file of its own: every write gets a new name ("Streem-XXXXXX.txt", made with O_EXCL in
// the private folder), so runs of the same user side by side never read each other's
// table; the graph's title and the reader's messages still say "Streem.txt". That file is
// removed once read, also when reading it failed.
// With Delete, `folder` is the private folder the file is made in. With Keep the table is
// first written as `folder`/"Streem.txt", replacing any earlier one there, and stays for
// the user; it is read through a file of its own in the private folder all the same.
// Returns true when a graph was added; false after a message of the reader. Throws IoError
// ("Невозможно записать файл:" + `folder`/"Streem.txt") when a file cannot be written.
bool loadTableThroughFile(CommandContext& ctx, const std::string& text, const std::string& folder,
                          TableFileFate fate);

}  // namespace tarvik::synth
