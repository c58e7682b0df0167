#include "dialogs/ChartRC.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/NumberFormat.h"
#include "transforms/CalculusCommands.h"

namespace tarvik::dialogs {
namespace {

// The differentiating circuit: input, series capacitor, resistor to the common line,
// output across the resistor.
class RcSchematic : public QWidget {
 public:
  explicit RcSchematic(QWidget* parent) : QWidget(parent) { setMinimumSize(260, 110); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    const int top = 30, bottom = 95, left = 60, right = width() - 60;
    const int cap = left + 55, res = right - 40;
    p.drawLine(left, top, cap - 4, top);  // input to the capacitor
    p.drawLine(cap - 4, top - 12, cap - 4, top + 12);
    p.drawLine(cap + 4, top - 12, cap + 4, top + 12);
    p.drawLine(cap + 4, top, right, top);
    p.drawRect(res - 6, top + 14, 12, 34);  // resistor to the common line
    p.drawLine(res, top, res, top + 14);
    p.drawLine(res, top + 48, res, bottom);
    p.drawLine(left, bottom, right, bottom);
    p.drawText(cap - 6, top - 16, "C");
    p.drawText(res + 10, top + 36, "R");
    terminal(p, QRect(2, top - 10, left - 6, 20), "Вход");
    terminal(p, QRect(right + 4, top - 10, width() - right - 6, 20), "Выход");
  }

 private:
  static void terminal(QPainter& p, const QRect& r, const QString& text) {
    p.fillRect(r, Qt::blue);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
    p.setPen(QPen(Qt::black, 2));
  }
};

}  // namespace

TfmChartRC::TfmChartRC(QWidget* parent) : QDialog(parent) {
  setObjectName("fmChartRC");
  setWindowTitle("Постоянная интегрирорования/ дифференцироания");
  auto* layout = new QVBoxLayout(this);
  for (const char* line : {"Постоянная времени задается для решения двух задач. ",
                           "Первая из них - дифференцирование - пропускает сигнал через RC-цепь.",
                           "Вторая - интегрирование - находит исходный сигнал по отклику на "
                           "выходе RC - цепи"}) {
    layout->addWidget(new QLabel(line, this));
  }
  layout->addWidget(new QLabel("Схема RC:", this));
  layout->addWidget(new RcSchematic(this));

  auto* tauRow = new QHBoxLayout;
  tauRow->addWidget(new QLabel("Постоянная времени, нс:", this));
  m_edTau = new QLineEdit("15", this);
  m_edTau->setObjectName("edTau");
  tauRow->addWidget(m_edTau);
  layout->addLayout(tauRow);

  auto* model = new QGroupBox("Модель погрешности квантования.", this);
  auto* modelLayout = new QHBoxLayout(model);
  m_cbRandomError = new QCheckBox("Включить модель", model);
  m_cbRandomError->setObjectName("cbRandomError");
  modelLayout->addWidget(m_cbRandomError);
  modelLayout->addWidget(new QLabel("Число уровней квантования:", model));
  m_spinEdit1 = new QSpinBox(model);
  m_spinEdit1->setObjectName("SpinEdit1");
  m_spinEdit1->setRange(kMinQuantisationLevels, kMaxQuantisationLevels);
  m_spinEdit1->setValue(100);
  modelLayout->addWidget(m_spinEdit1);
  layout->addWidget(model);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

bool TfmChartRC::closeCheck() {
  const std::optional<std::string> refusal = timeConstantRefusal(m_edTau->text().toStdString());
  if (!refusal) {
    return true;
  }
  QMessageBox::critical(this, "Ошибка", QString::fromStdString(*refusal));
  return false;
}

void TfmChartRC::done(int result) {
  if (closeCheck()) {
    QDialog::done(result);
  }
}

bool TfmChartRC::run(DialogOptions& options) {
  auto& rc = dynamic_cast<RcOptions&>(options);
  const std::optional<double> shown = parseTypedNumber(m_edTau->text().toStdString(), '.');
  if (!shown || *shown != rc.tauNs) {
    m_edTau->setText(QString::fromStdString(formatGeneral(rc.tauNs, 15, '.')));
  }
  m_cbRandomError->setChecked(rc.randomError);
  m_spinEdit1->setValue(rc.levels);
  exec();
  rc.tauNs = parseTypedNumber(m_edTau->text().toStdString(), '.').value_or(rc.tauNs);
  rc.randomError = m_cbRandomError->isChecked();
  rc.levels = m_spinEdit1->value();
  return true;
}

}  // namespace tarvik::dialogs
