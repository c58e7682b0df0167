#pragma once
// Helpers for widget tests: answering the modal dialog a command opens.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
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
