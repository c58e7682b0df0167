#pragma once
// The session commands the window ("Сохранить сеанс...", "Открыть сеанс...") and the batch
// runner (save-session, open-session) share: the file dialogs, the question before an
// existing file is replaced, the question before open graphs are replaced, reading the
// file whole before anything changes. The front-end supplies the view it shows and applies
// the view a session brings back.
#include <optional>
#include <string>

#include "core/Command.h"
#include "io/SessionFile.h"

namespace tarvik {

inline constexpr const char* kSessionReplaceQuestion =
    "Открытые графики будут заменены графиками сеанса. Продолжить?";
// The question before an existing session file is written over.
std::string sessionOverwriteQuestion(const std::string& path);

// How the save dialog's answer is taken: the window gives every name the ".h5" ending
// (a name with another ending gets it appended); the batch runner writes the file its
// script names.
enum class SessionFileName { WithSessionExtension, AsGiven };

// Save: the save dialog, the overwrite question for an existing file (No opens the dialog
// again), then the session written and its folder remembered. False when nothing was
// written (the dialog cancelled). Throws IoError when the file cannot be written.
bool saveSessionCommand(CommandContext& ctx, const SessionView& view, SessionFileName naming);

// Open: with graphs in the store, the replace question first (No ends the command); then
// the open dialog and the first chosen file read whole, so a file that cannot be read
// throws Error and leaves the document alone; then the store takes the session's document.
// Returns the session's view for the front-end to apply, nullopt when nothing changed.
std::optional<SessionView> openSessionCommand(CommandContext& ctx);

}  // namespace tarvik
