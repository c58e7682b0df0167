#include "dialogs/ChartExt.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogSizing.h"

namespace tarvik::dialogs {

TfmFileAssoc::TfmFileAssoc(QWidget* parent) : QDialog(parent) {
  setObjectName("fmFileAssoc");
  setWindowTitle("Ассоциация файлов");

  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel("Связать с программой просмотра графиков следующие файлы:", this);
  text->setObjectName("Label1");
  layout->addWidget(text);

  auto* boxes = new QVBoxLayout;
  boxes->setContentsMargins(16, 4, 0, 4);
  for (std::size_t i = 0; i < m_boxes.size(); ++i) {
    auto* box = new QCheckBox(
        QString::fromUtf8(io::kAssociatedExtensions[i].data(),
                          static_cast<qsizetype>(io::kAssociatedExtensions[i].size())),
        this);
    box->setObjectName(QString("CheckBox%1").arg(i + 1));
    boxes->addWidget(box);
    m_boxes[i] = box;
  }
  layout->addLayout(boxes);

  m_closeButton = new QPushButton("Закрыть", this);
  m_closeButton->setObjectName("BitBtn1");
  m_closeButton->setDefault(true);  // Enter closes; Escape rejects, which closes as well
  connect(m_closeButton, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_closeButton);
  buttons->addStretch();
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

io::AssociationStates TfmFileAssoc::states() const {
  io::AssociationStates states{};
  for (std::size_t i = 0; i < m_boxes.size(); ++i) {
    states[i] = m_boxes[i]->isChecked();
  }
  return states;
}

void TfmFileAssoc::setStates(const io::AssociationStates& states) {
  for (std::size_t i = 0; i < m_boxes.size(); ++i) {
    m_boxes[i]->setChecked(states[i]);
  }
}

void TfmFileAssoc::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  fitCaptionAndCentre(this);
  if (m_onActivate) {
    m_onActivate();
  }
}

}  // namespace tarvik::dialogs
