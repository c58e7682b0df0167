#include "dialogs/ChartPrO.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <initializer_list>

#include "dialogs/DialogSizing.h"

namespace tarvik::dialogs {

namespace {

QButtonGroup* addRadioGroup(QWidget* dialog, QVBoxLayout* layout, const char* name,
                            const char* caption, std::initializer_list<const char*> items) {
  auto* box = new QGroupBox(QString::fromUtf8(caption), dialog);
  box->setObjectName(name);
  auto* column = new QVBoxLayout(box);
  auto* group = new QButtonGroup(box);
  group->setObjectName(name);
  int index = 0;
  for (const char* item : items) {
    auto* button = new QRadioButton(QString::fromUtf8(item), box);
    group->addButton(button, index++);
    column->addWidget(button);
  }
  group->button(0)->setChecked(true);
  layout->addWidget(box);
  return group;
}

}  // namespace

TfmPrinOptions::TfmPrinOptions(QWidget* parent) : QDialog(parent) {
  setObjectName("fmPrinOptions");
  setWindowTitle("Параметры печати");
  auto* layout = new QVBoxLayout(this);
  m_radioGroup1 = addRadioGroup(this, layout, "RadioGroup1", "Масштаб",
                                {"Thin lines and Small fonts", "Screen proportional"});
  m_radioGroup2 = addRadioGroup(this, layout, "RadioGroup2", "Ориентация", {"Портрет", "Ландшафт"});
  m_radioGroup3 =
      addRadioGroup(this, layout, "RadioGroup3", "Размер", {"1/2 Страницы", "Целая страница"});
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

view::PrintOptions TfmPrinOptions::options() const {
  view::PrintOptions o;
  o.scale = static_cast<view::PrintScale>(m_radioGroup1->checkedId());
  o.orientation = static_cast<view::PrintOrientation>(m_radioGroup2->checkedId());
  o.share = static_cast<view::PrintPageShare>(m_radioGroup3->checkedId());
  return o;
}

void TfmPrinOptions::setOptions(const view::PrintOptions& o) {
  m_radioGroup1->button(static_cast<int>(o.scale))->setChecked(true);
  m_radioGroup2->button(static_cast<int>(o.orientation))->setChecked(true);
  m_radioGroup3->button(static_cast<int>(o.share))->setChecked(true);
}

bool TfmPrinOptions::run(DialogOptions& fields) {
  auto& print = dynamic_cast<view::PrintOptions&>(fields);
  setOptions(print);
  adjustSize();
  fitCaptionAndCentre(this);
  exec();
  print = options();
  return true;
}

QButtonGroup* TfmPrinOptions::radioGroup(int number) const {
  switch (number) {
    case 1:
      return m_radioGroup1;
    case 2:
      return m_radioGroup2;
    case 3:
      return m_radioGroup3;
    default:
      return nullptr;
  }
}

}  // namespace tarvik::dialogs
