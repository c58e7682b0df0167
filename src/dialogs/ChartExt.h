#pragma once
// TfmFileAssoc: "Ассоциация файлов" — which of the program's file types the desktop opens
// with it. One check box per extension (.grf .srg .csv .cal .rez) under the text line, and
// the one button "Закрыть" (default and cancel button). The dialog only holds the boxes:
// whoever shows it reads the store into them when the dialog is activated and applies them
// when it closes, by the button, Escape or the window's close box alike.
#include <QDialog>
#include <array>
#include <functional>

#include "io/FileAssociations.h"

class QCheckBox;
class QPushButton;

namespace tarvik::dialogs {

class TfmFileAssoc : public QDialog {
  Q_OBJECT
 public:
  explicit TfmFileAssoc(QWidget* parent = nullptr);

  io::AssociationStates states() const;
  void setStates(const io::AssociationStates& states);

  // Called each time the dialog is shown, before the user can touch a box. (A modal dialog
  // is activated once per showing; coming back to it from another program does not read
  // the store again, so boxes the user has just clicked are not reset.)
  void setOnActivate(std::function<void()> onActivate) { m_onActivate = std::move(onActivate); }

  QCheckBox* box(std::size_t index) const { return m_boxes.at(index); }
  QPushButton* closeButton() const { return m_closeButton; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::array<QCheckBox*, io::kAssociatedExtensionCount> m_boxes{};
  QPushButton* m_closeButton = nullptr;
  std::function<void()> m_onActivate;
};

}  // namespace tarvik::dialogs
