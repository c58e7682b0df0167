#pragma once
// Sizing and placing of the dialogs whose caption or hint the caller sets: wide enough for
// the whole text, centred on the screen.
#include <QString>

class QWidget;

namespace tarvik::dialogs {

// The window width at which `caption` shows whole in a title bar: the caption in the
// title-bar font, bold as many window managers draw it, beside the window icon and the
// title-bar buttons.
int captionFitWidth(const QString& caption);

// Widens `dialog` (never narrows it) so that its caption shows whole, keeping it within the
// screen, and centres it on the screen.
void fitCaptionAndCentre(QWidget* dialog);

}  // namespace tarvik::dialogs
