#include "dialogs/DialogSizing.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace tarvik::dialogs {

namespace {

// Room a title bar takes besides its text: the window icon, up to three buttons and the
// padding around them.
constexpr int kTitleBarDecoration = 160;

}  // namespace

int captionFitWidth(const QString& caption) {
  QFont font = QApplication::font("QMdiSubWindowTitleBar");
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(caption) + kTitleBarDecoration;
}

void fitCaptionAndCentre(QWidget* dialog) {
  const QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
  int width = std::max(dialog->width(), captionFitWidth(dialog->windowTitle()));
  if (screen != nullptr) {
    width = std::min(width, screen->availableGeometry().width());
  }
  dialog->resize(std::max(width, dialog->width()), dialog->height());
  if (screen != nullptr) {
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog->move(frame.topLeft());
  }
}

}  // namespace tarvik::dialogs
