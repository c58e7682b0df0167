#include "dialogs/ChartAbt.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogSizing.h"

namespace tarvik::dialogs {

namespace {

constexpr int kIconSize = 48;

QLabel* line(QWidget* parent, const char* name, const char* text, bool bold) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  QFont font = label->font();
  font.setBold(bold);
  label->setFont(font);
  return label;
}

}  // namespace

TfmAboutChart::TfmAboutChart(QWidget* parent) : QDialog(parent) {
  setObjectName("fmAboutChart");
  setWindowTitle("О программе");

  auto* frame = new QFrame(this);
  frame->setObjectName("Panel1");
  frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
  frame->setLineWidth(2);
  auto* frameLayout = new QHBoxLayout(frame);
  m_programIcon = new QLabel(frame);
  m_programIcon->setObjectName("ProgramIcon");
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) {
    icon = QIcon(QStringLiteral(":/icons/tarvik.svg"));
  }
  m_programIcon->setPixmap(icon.pixmap(kIconSize, kIconSize));
  frameLayout->addWidget(m_programIcon);

  auto* texts = new QVBoxLayout;
  QLabel* name = line(frame, "ProductName", "Tarvik", true);
  QFont large = name->font();
  large.setPointSizeF(large.pointSizeF() * 2);
  name->setFont(large);
  QPalette navy = name->palette();
  navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
  name->setPalette(navy);
  texts->addWidget(name);
  texts->addWidget(line(frame, "Comments", "Программа обработки сигналов", true));
  texts->addWidget(line(frame, "Version", "Версия 1", false));
  frameLayout->addLayout(texts);

  m_closeButton = new QPushButton("ЗАКРЫТЬ", this);
  m_closeButton->setObjectName("OKButton");
  QFont bold = m_closeButton->font();
  bold.setBold(true);
  m_closeButton->setFont(bold);
  m_closeButton->setDefault(true);  // Enter closes the box, and so does Escape (reject)
  connect(m_closeButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(m_closeButton, 0, Qt::AlignHCenter);
  // A fixed border: the box keeps its size.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfmAboutChart::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  fitCaptionAndCentre(this);
}

}  // namespace tarvik::dialogs
