#include "app/ChartMyStatus.h"

#include <QLabel>
#include <QPaintEvent>

namespace tarvik::app {

namespace {

constexpr int kLines = 2;

}  // namespace

StatusLine::StatusLine(const QString& baseText, QWidget* parent)
    : QStatusBar(parent), m_base(baseText) {
  setObjectName("StatusBar1");
  m_text = new QLabel(baseText, this);
  m_text->setObjectName("StatusText");
  m_text->setWordWrap(true);
  m_text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_text->setMinimumHeight(kLines * m_text->fontMetrics().lineSpacing());
  // A permanent widget stays visible while a message is shown.
  addPermanentWidget(m_text, 1);
  connect(this, &QStatusBar::messageChanged, m_text, [this](const QString& message) {
    m_text->setText(message.isEmpty() ? m_base : message);
  });
}

void StatusLine::paintEvent(QPaintEvent* event) { event->accept(); }

}  // namespace tarvik::app
