#pragma once
// The open macro through which the desktop (or a second start of the program) hands a file
// to the running window: `[open("PATH")]` followed by a line end. The receiver reads the
// path by position, as the registered macro form places it, and never looks at the command
// word: the first line without its first 7 characters (`[open("`) and its last 3 (`")]`).
#include <string>
#include <string_view>

namespace tarvik {

// The registered form of the macro, in which the shell puts the full path for %1.
inline constexpr std::string_view kOpenMacroForm = "[open(\"%1\")]";

// `[open("PATH")]` plus a line feed, the text one hand-over sends for `path`. The path is
// put in as it is (bytes); a path holding a line end cannot be handed over this way, see
// canHandOverPath.
std::string buildOpenMacro(std::string_view path);

// False when `path` holds a carriage return or a line feed: the receiver would cut it at
// the line end, so such a file is opened by the sender itself.
bool canHandOverPath(std::string_view path);

// The first line of a received macro text: everything before the first line feed (the
// whole text when there is none), a carriage return before the line feed dropped.
std::string_view firstMacroLine(std::string_view text);

// The path of a received macro text: its first line without the first 7 and the last 3
// characters (UTF-8 code points; a byte that does not start a valid sequence counts as
// one character). Bounds-checked: a first line of 10 characters or fewer gives an empty
// path, and a line that lacks its closing `")]` loses its last 3 characters of path all
// the same, so a malformed macro names a file that is not there and gets the open failure
// message rather than another file.
std::string pathFromOpenMacro(std::string_view text);

}  // namespace tarvik
