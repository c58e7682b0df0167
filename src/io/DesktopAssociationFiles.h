#pragma once
// The texts of the freedesktop association files: the default-application list
// (mimeapps.list), the desktop entry and the shared-mime-info package of the program's
// file types. Plain text in, plain text out; the desktop store reads and writes the files,
// reading the default-application list through readMimeAppsFile.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::io {

// The desktop entry's file name, which is also its id in the default-application list.
inline constexpr std::string_view kDesktopEntryId = "tarvik.desktop";
// The shared-mime-info package's file name.
inline constexpr std::string_view kMimePackageName = "tarvik.xml";

// The oscilloscopes' own waveform files: the desktop is told the program opens them (the
// desktop entry lists their types, the MIME package declares them), but the association
// dialog never makes them ours. ".bin", which every kind of program writes, is not offered.
struct ScopeFileType {
  std::string_view extension;
  std::string_view mimeType;
};
inline constexpr std::array<ScopeFileType, 3> kScopeFileTypes = {{
    {".wfm", "application/x-oscilloscope-wfm"},
    {".isf", "application/x-oscilloscope-isf"},
    {".trc", "application/x-oscilloscope-trc"},
}};

// The MIME type of an associated extension: ".csv" is the common "text/csv"; the program's
// own text files get "application/x-tarvik-" and the extension without its dot. Empty for
// an extension that is not associated.
std::string mimeTypeOfExtension(std::string_view extension);

// The value of `mimeType` in the "[Default Applications]" group of a mimeapps.list text;
// nothing when the group or the entry is missing.
std::optional<std::string> mimeAppsDefault(std::string_view text, std::string_view mimeType);

// The mimeapps.list text with the entry of `mimeType` in "[Default Applications]" set to
// `value` (added at the group's end, the group made at the file's end when missing), or
// removed when there is no `value`. Every other line is kept as it was.
std::string withMimeAppsDefault(std::string_view text, std::string_view mimeType,
                                const std::optional<std::string>& value);

// The default-application list as read from its file. It holds the defaults of every
// program of the desktop, so one that is there but cannot be read must never be taken for
// an empty one: writing our entries into "nothing" would drop all the others.
struct MimeAppsRead {
  bool readable = true;  // false: the file is there but could not be read
  std::string text;      // the whole text; empty for a file that is not there
};
// Reads the list at `path`. A path that names nothing (also below a file that is no
// folder) reads as an empty list; anything else that is not a regular file readable to
// the end (no permission, a folder, a pipe, a read error) is not readable.
MimeAppsRead readMimeAppsFile(const std::string& path);
// The refusal of a change of the associations when the list at `path` cannot be read.
std::string mimeAppsUnreadableText(const std::string& path);

// The first desktop id of a list such as "a.desktop;b.desktop;".
std::string firstDesktopId(std::string_view value);

// The program's path as one argument of a desktop entry's Exec key: quoted when it holds a
// character the key reserves, with the key's string escapes applied. Nothing when the path
// holds a character no desktop entry line can carry (a line end or another control).
std::optional<std::string> desktopExecArgument(std::string_view path);

struct DesktopEntryFields {
  std::string name;
  std::string comment;
  std::string executablePath;
  std::string icon;
  std::vector<std::string> mimeTypes;
};

// The desktop entry opening files with the program: Exec is the quoted path and "%F", so
// a selection of files arrives as one list of arguments. Nothing when the path cannot be
// written into an Exec key.
std::optional<std::string> desktopEntryText(const DesktopEntryFields& fields);

// The shared-mime-info package declaring the program's own types (every associated
// extension but ".csv"), each a kind of plain text described by `comment`, and the
// oscilloscope waveform types of kScopeFileTypes (binary, described as such).
std::string mimePackageText(std::string_view comment, std::string_view icon);

}  // namespace tarvik::io
