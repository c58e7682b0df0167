#pragma once
// How the window's menu items and toolbar buttons reach commands, and how a command's
// options dialog is found, without the main window knowing every domain.
//
// Each domain supplies one install function in its own file (app/FileActions.cpp,
// app/TransformActions.cpp, app/SpectralActions.cpp): it adds a handler per component
// object name ("N15", "ToolButton26", "mnSpectr") and registers its dialogs. The main
// window builds every component of its layout, then connects each one whose object name
// has a handler. A component without a handler stays in place and does nothing.
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <utility>

#include "core/Command.h"
#include "dialogs/OptionsDialog.h"

namespace tarvik::app {

class CommandMap {
 public:
  using Handler = std::function<void(CommandContext&)>;
  void add(const QString& objectName, Handler handler) {
    m_handlers[objectName] = std::move(handler);
  }
  const Handler* find(const QString& objectName) const {
    auto it = m_handlers.find(objectName);
    return it == m_handlers.end() ? nullptr : &it->second;
  }
  const std::map<QString, Handler>& all() const { return m_handlers; }

 private:
  std::map<QString, Handler> m_handlers;
};

// The options dialogs live in dialogs/; the install functions and the Ui port take the
// window's registry of them under these names.
using dialogs::DialogRegistry;
using dialogs::OptionsDialog;

// Install functions; `parent` is the main window, parent of the dialogs they create.
void installFileActions(CommandMap& map, DialogRegistry& dialogs, QWidget* parent);
void installTransformActions(CommandMap& map);
void installSpectralActions(CommandMap& map, const DialogRegistry& dialogs, QWidget* parent);

}  // namespace tarvik::app
