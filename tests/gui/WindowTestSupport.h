#pragma once
// Helpers for tests of the main window.
#include <QAction>
#include <QString>

#include "app/ChartMy.h"
#include "io/FileCommands.h"

namespace tarvik::testing {

inline const QString kScope = QString(TARVIK_EXAMPLES_DIR) + "/pulse_scope.csv";

inline bool enabled(app::TfmChart& w, const char* name) {
  return w.findChild<QAction*>(name)->isEnabled();
}

// Opens the four-channel oscilloscope example as the open command would.
inline void openScope(app::TfmChart& w) {
  const std::string path = kScope.toStdString();
  w.runGuarded([&path](CommandContext& ctx) { openFiles(ctx, {path}); });
}

}  // namespace tarvik::testing
