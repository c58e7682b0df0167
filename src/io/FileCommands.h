#pragma once
// The open and save commands and the reading operations they share with the command line,
// the open service and the generators.
#include <cstddef>
#include <string>
#include <vector>

#include "core/Command.h"

namespace tarvik {

// Files from this size on show the reading's percentage through the Ui port (the window's
// status bar, with the stop button live); the stop request ends the reading.
inline constexpr std::size_t kReadProgressBytes = std::size_t{50} << 20;
inline constexpr const char* kReadProgress = "Чтение файла - ";

// Open command: the open dialog (several files), the remembered folder, then "Read graph
// file" for each chosen file in order; a reading error stops the remaining files.
void openCommand(CommandContext& ctx);
// Reads the given files in order, as the open command does after its dialog (also used
// by the command line, the open service, drag and drop and the batch runner). Returns
// false when a file could not be read (its message has been shown).
bool openFiles(CommandContext& ctx, const std::vector<std::string>& paths);
// "Read graph file" for one path. Returns false after a failure (message shown) or when
// the user stopped the reading of a large file (then nothing of that file is kept).
bool readGraphFile(CommandContext& ctx, const std::string& path);
// "Append generated graph": one new graph from a generated graph file.
bool appendGeneratedGraph(CommandContext& ctx, const std::string& path);
// The same for a file read under another name: `shownName` stands for the file in the
// graph's title and in the messages (a generator's table read from a private copy still
// reads as "Streem.txt").
bool appendGeneratedGraph(CommandContext& ctx, const std::string& path,
                          const std::string& shownName);
// Save command: selection dialog "Сохранить график", then a save dialog per chosen graph
// with the overwrite question.
void saveCommand(CommandContext& ctx);
// Project command: shows its save dialog, writes nothing.
void saveProjectCommand(CommandContext& ctx);

}  // namespace tarvik
