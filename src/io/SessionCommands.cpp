#include "io/SessionCommands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tarvik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSessionFilter = "Сеанс (*.h5)";
constexpr const char* kSessionExtension = ".h5";

bool hasSessionExtension(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == kSessionExtension;
}

FileDialogRequest sessionDialog(const char* title) {
  FileDialogRequest request;
  request.title = title;
  request.filters = {kSessionFilter};
  request.defaultExtension = "h5";
  return request;
}

std::optional<std::string> askSessionSavePath(Ui& ui, SessionFileName naming) {
  const FileDialogRequest request = sessionDialog("Сохранение сеанса");
  for (;;) {
    std::optional<std::string> path = ui.askSaveFile(request);
    if (!path) {
      return std::nullopt;
    }
    if (naming == SessionFileName::WithSessionExtension && !hasSessionExtension(*path)) {
      *path += kSessionExtension;
    }
    std::error_code ec;
    if (!fs::exists(*path, ec) || ui.question(sessionOverwriteQuestion(*path))) {
      return path;
    }
  }
}

std::string folderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

}  // namespace

std::string sessionOverwriteQuestion(const std::string& path) {
  return "Файл " + path + " уже есть. Переписать?";
}

bool saveSessionCommand(CommandContext& ctx, const SessionView& view, SessionFileName naming) {
  const std::optional<std::string> path = askSessionSavePath(ctx.ui, naming);
  if (!path) {
    return false;
  }
  writeSession(*path, ctx.store.state(), view);
  ctx.ui.rememberFolder(folderOf(*path));
  return true;
}

std::optional<SessionView> openSessionCommand(CommandContext& ctx) {
  if (!ctx.store.empty() && !ctx.ui.question(kSessionReplaceQuestion)) {
    return std::nullopt;
  }
  const std::optional<std::vector<std::string>> paths =
      ctx.ui.askOpenFiles(sessionDialog("Открытие сеанса"));
  if (!paths || paths->empty()) {
    return std::nullopt;
  }
  // Read whole before anything changes: a broken file throws and leaves the graphs alone.
  Session session = readSession(paths->front());
  ctx.ui.rememberFolder(folderOf(paths->front()));
  ctx.store.restore(session.document);
  return std::move(session.view);
}

}  // namespace tarvik
