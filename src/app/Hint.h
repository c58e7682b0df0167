#pragma once
// A component's hint: the text before "|" is the tool tip, the text after it goes to the
// status line; a hint without "|" serves as both.
#include <QAction>
#include <QString>
#include <QWidget>

namespace tarvik::app {

struct HintParts {
  QString toolTip;
  QString statusTip;
};

inline HintParts splitHint(const QString& hint) {
  const qsizetype bar = hint.indexOf('|');
  if (bar < 0) {
    return {hint, hint};
  }
  return {hint.left(bar), hint.mid(bar + 1)};
}

// The name a screen reader announces for a control known by its hint: the tool tip, or
// the status-line text when the hint has no tool tip ("|text").
inline QString accessibleNameOf(const QString& hint) {
  const HintParts parts = splitHint(hint);
  return parts.toolTip.isEmpty() ? parts.statusTip : parts.toolTip;
}

template <typename Target>
void applyHint(Target* target, const QString& hint) {
  const HintParts parts = splitHint(hint);
  target->setToolTip(parts.toolTip);
  target->setStatusTip(parts.statusTip);
}

}  // namespace tarvik::app
