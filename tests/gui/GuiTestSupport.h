#pragma once
// Helpers for widget tests: answering the modal dialog a command opens.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace tarvik::testing {

// Runs `action` on the next modal dialog as soon as it is shown (polled every 10 ms). The
// action must end the dialog (accept, reject or a button click).
inline void onNextModal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
      return;
    }
    timer->stop();
    timer->deleteLater();
    action(modal);
  });
  timer->start();
}

// The widget that keys typed now would reach: the focus widget of the application once
// `window` is the active window, or nullptr when the focus is not inside `window`. Tests
// send keys here, as a keyboard does, never to an inner child found by name.
inline QWidget* keyboardFocus(QWidget* window) {
  window->activateWindow();
  // A loaded machine can take seconds to activate a window.
  if (!QTest::qWaitForWindowActive(window, 30000)) {
    return nullptr;
  }
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr && window->isAncestorOf(focus) ? focus : nullptr;
}

// Types `text` into `window`, one key per character, each key going to the widget that
// holds the focus at that moment.
inline void typeText(QWidget* window, const QString& text) {
  for (const QChar c : text) {
    QWidget* focus = keyboardFocus(window);
    if (focus == nullptr) {
      return;
    }
    // Qt's codes of the ASCII keys are their capital letters' codes.
    const Qt::Key code =
        c.unicode() < 0x80 ? static_cast<Qt::Key>(c.toUpper().unicode()) : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Click, focus, code, QString(c), Qt::NoModifier);
  }
}

// Presses `key` (with `modifiers`) where the focus of `window` is.
inline void pressKey(QWidget* window, Qt::Key key,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  if (QWidget* focus = keyboardFocus(window)) {
    QTest::keyClick(focus, key, modifiers);
    return;
  }
  // A key that reaches nobody must not leave a modal dialog waiting for ever: the dialog
  // is rejected, so the test fails on what it then checks instead of hanging.
  qWarning("pressKey: the window never became active; the key went nowhere");
  if (auto* dialog = qobject_cast<QDialog*>(window)) {
    dialog->reject();
  }
}

struct SeenMessage {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text;
  QMessageBox::StandardButtons buttons;
};

// Answers the next message box with `answer`, recording what it showed.
inline void answerNextMessage(SeenMessage* seen,
                              QMessageBox::StandardButton answer = QMessageBox::Ok) {
  onNextModal([seen, answer](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr) {
      w->close();
      return;
    }
    seen->icon = box->icon();
    seen->text = box->text();
    seen->buttons = box->standardButtons();
    if (QAbstractButton* b = box->button(answer)) {
      b->click();
    } else {
      box->reject();
    }
  });
}

}  // namespace tarvik::testing
