#pragma once
// The texts of the freedesktop association files: the default-application list
// (mimeapps.list), the desktop entry and the shared-mime-info package of the program's
// file types. Plain text in, plain text out; the desktop store reads and writes the files,
// reading the default-application list through readMimeAppsFile.
#include <array>
#include <cstddef>
#include <functional>
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

// The folders the desktop reads its default-application lists from.
struct MimeAppsFolders {
  std::string configHome;                // $XDG_CONFIG_HOME, or ~/.config
  std::vector<std::string> configDirs;   // $XDG_CONFIG_DIRS, or /etc/xdg
  std::string dataHome;                  // $XDG_DATA_HOME, or ~/.local/share
  std::vector<std::string> dataDirs;     // $XDG_DATA_DIRS, or /usr/local/share and /usr/share
  std::vector<std::string> desktops;     // $XDG_CURRENT_DESKTOP's names, lowercased, in order
};
// The folders of the current environment. A variable that is unset or empty, and every
// entry of a folder list that is not an absolute path, give way to the defaults above.
MimeAppsFolders mimeAppsFoldersFromEnvironment();
// The names of a colon-separated $XDG_CURRENT_DESKTOP, lowercased, in order; empty names
// and names that could leave their folder (a '/') are dropped.
std::vector<std::string> currentDesktopNames(std::string_view value);

// Every default-application list in the order the desktop consults them, the first that
// names a type deciding its default: in each folder (configHome, configDirs, then
// dataHome/applications and dataDirs/applications) one "$desktop-mimeapps.list" per
// current desktop, then "mimeapps.list". The first desktops.size() + 1 are the user's own
// (below configHome), the only ones the program writes; the last of those is the user's
// general list.
std::vector<std::string> mimeAppsLookupOrder(const MimeAppsFolders& folders);

// One new text for one list.
struct MimeAppsEdit {
  std::string path;
  std::string text;
};

// The default-application lists of one lookup, read when made.
class MimeAppsLists {
 public:
  using Reader = std::function<MimeAppsRead(const std::string&)>;
  explicit MimeAppsLists(const MimeAppsFolders& folders, const Reader& reader = readMimeAppsFile);

  // The first of the user's own lists that is there but cannot be read: its defaults (and
  // whether it overrides the others) are unknown, so nothing may be decided or written.
  std::optional<std::string> unreadableUserList() const;
  // The default the desktop follows for `mimeType`: the entry of the first list that has
  // one (a list of the system that cannot be read is passed over, as the desktop does).
  std::optional<std::string> effectiveDefault(std::string_view mimeType) const;
  // The edit that makes `value` the default in effect: written into the user's list in
  // effect for the type (the first of the user's own that names it, a desktop's own list
  // before the general one), or into the general list when none of them names it, which
  // overrides every list of the system. Nothing when a list of the user cannot be read.
  std::optional<MimeAppsEdit> settingDefault(std::string_view mimeType,
                                             const std::string& value) const;
  // The edits that take the default of `mimeType` away from `desktopId`: its entry leaves
  // each of the user's own lists from the first down, as long as the entry met names that
  // program first (an older list below may name it too); a list naming another program
  // stops it, being the default from then on. Nothing when a list of the user cannot be
  // read.
  std::vector<MimeAppsEdit> removingDefault(std::string_view mimeType,
                                            std::string_view desktopId) const;

 private:
  std::vector<std::string> m_paths;
  std::vector<MimeAppsRead> m_lists;
  std::size_t m_userLists = 0;
};

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
