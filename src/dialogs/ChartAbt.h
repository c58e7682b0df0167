#pragma once
// TfmAboutChart: "О программе" — the program's icon in a raised frame, its name, what it is
// and its version, and the one button "ЗАКРЫТЬ".
#include <QDialog>

class QLabel;
class QPushButton;

namespace tarvik::dialogs {

class TfmAboutChart : public QDialog {
  Q_OBJECT
 public:
  // Takes the application's icon now, as the box is created.
  explicit TfmAboutChart(QWidget* parent = nullptr);

  QLabel* programIcon() const { return m_programIcon; }
  QPushButton* closeButton() const { return m_closeButton; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* m_programIcon;
  QPushButton* m_closeButton;
};

}  // namespace tarvik::dialogs
