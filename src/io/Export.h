#pragma once
// Handing the graphs to the sibling program Ruzna, and renaming every source-file entry
// after its graph's legend.
//
// The export writes each graph as a plain graph file ~000, ~001, … into the user's export
// folder and starts the sibling program there, without waiting for it, with those file names
// as its arguments. The program is started from an argument list, never through a shell, so
// blanks or quotes in its path cannot split it or start something else.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/Command.h"
#include "core/GraphStore.h"

namespace tarvik::io {

// Starts another program. The window and the batch runner start it for real; tests record
// what would have been started.
class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  // Starts `program` (a path, not looked up in PATH) with `arguments` as its argv[1…] in
  // `workingFolder`, and returns without waiting for it. False when it could not be started
  // (no such file, not executable, the folder missing).
  virtual bool startDetached(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& workingFolder) = 0;
  // The most bytes argumentListBytes may count for a start to succeed: the system's limit
  // (tests lower it).
  virtual std::size_t argumentListLimit() const;
};

// The real start: the program runs as a grandchild that is no child of ours, so it is
// never left as a zombie and outlives us; its failure to start is reported back through a
// pipe before this returns. Descriptors beyond the standard three are not inherited.
class DetachedStarter final : public ProgramStarter {
 public:
  bool startDetached(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workingFolder) override;
};

// The bytes the system counts against its limit when `argv` (the program's path first) is
// started with `environment` (a list ending in a null pointer), as execve counts them:
// every string with its terminating zero and its pointer, and the program's path once more
// (the system keeps a copy of it).
std::size_t argumentListBytes(const std::vector<std::string>& argv, const char* const* environment);
// The system's limit on those bytes: sysconf(_SC_ARG_MAX), which follows the stack size
// limit, but never more than the 6 MiB the kernel allows whatever that limit is.
std::size_t systemArgumentListLimit();
// The refusal of an export whose start would pass `needed` bytes where the system allows
// `limit`.
std::string argumentListTooLongText(const std::string& program, std::size_t needed,
                                    std::size_t limit);

// The folder of the running executable ("" when it cannot be told).
std::string executableFolder();
// The per-user folder the export files are written to: a subfolder "export" of the user's
// data folder. Not created here.
std::string exportFolder();
// "~00" followed by the graph's 0-based store index: ~000, ~001, …, ~009, ~0010.
std::string exportFileName(std::size_t graphIndex);

// Where the sibling program was looked for: "Ruzna", then "Ruzna.exe", in `folder`.
struct ProgramLookup {
  std::optional<std::string> found;  // the first of the two that is a file
  std::string tried;                 // the first path looked at, for the message
};
ProgramLookup findSiblingProgram(const std::string& folder);
// "Файл PATH" + line break + "не найден !!!".
std::string programNotFoundText(const std::string& path);
// The error of a start that failed: "Ошибка при запуске PATH".
std::string startFailedText(const std::string& path);

// Writes every graph of `store`, in store order, as a plain graph file named
// exportFileName(index) in `folder` (numbers with `decimalSeparator`), and returns the file
// names in that order. A file that cannot be written throws IoError; the files before it
// stay.
std::vector<std::string> writeExportFiles(const GraphStore& store, const std::string& folder,
                                          char decimalSeparator);

struct ExportSetup {
  // The program to start; when unset it is looked up beside the executable.
  std::optional<std::string> program;
  std::string executableFolder;
  std::string exportFolder;
};

// The export command: finds the program (the not-found message ends the command), checks
// that the argument list of all the file names fits the starter's limit, creates the
// export folder, writes the files and starts the program in that folder with the file
// names as arguments. Throws Error(argumentListTooLongText) when the list does not fit
// (nothing is written then), IoError when a file or the folder cannot be written (nothing
// is started then) and Error(startFailedText) when the start fails.
void exportCommand(CommandContext& ctx, const ExportSetup& setup, ProgramStarter& starter);

// The renaming command: after Yes to "Заменить все имена файлов на легенды" every graph's
// source-file entry becomes its title + ".grf", kept as it is ("/" and ":" included).
// Returns whether the entries were renamed.
bool renameToLegendsCommand(CommandContext& ctx);

}  // namespace tarvik::io
