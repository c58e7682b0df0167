#pragma once
// The main window's status bar `StatusBar1`: one text, "Графики" at start, replaced by the
// long hint of the control under the pointer and by the progress of the long loops. The
// longest hint (the chart's) does not fit one line at the window's start width, so the text
// wraps and the bar keeps room for two lines: nothing is cut off, and the chart does not
// change height as the pointer moves.
#include <QStatusBar>

class QLabel;

namespace tarvik::app {

class StatusLine : public QStatusBar {
 public:
  explicit StatusLine(const QString& baseText, QWidget* parent = nullptr);

 protected:
  // The message is shown by the wrapping label; the bar itself draws none.
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* m_text;
  QString m_base;
};

}  // namespace tarvik::app
