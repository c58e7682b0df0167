#include "dialogs/ChartOfo.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvik::dialogs {
namespace {

// The glyph of the font buttons of titles: a letter in a serif face.
QIcon fontGlyph() {
  QPixmap pixmap(18, 18);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(16);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::darkBlue);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("A"));
  return QIcon(pixmap);
}

QComboBox* axisTitleBox(const char* name, const auto& presets, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (std::string_view preset : presets) {
    box->addItem(QString::fromUtf8(preset.data(), static_cast<qsizetype>(preset.size())));
  }
  box->setMinimumContentsLength(22);
  return box;
}

QLineEdit* hiddenField(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  return field;
}

std::string memoText(const QPlainTextEdit* memo) { return memo->toPlainText().toStdString(); }

int angleOf(const QLineEdit* field, int previous) {
  bool ok = false;
  const int value = field->text().trimmed().toInt(&ok);
  return ok ? value : previous;
}

}  // namespace

TfmEditComments::TfmEditComments(QWidget* parent) : QDialog(parent) {
  setObjectName("fmEditComments");
  setWindowTitle("Оформление надписей");
  auto* layout = new QVBoxLayout(this);

  auto* titleRow = new QHBoxLayout;
  titleRow->addWidget(new QLabel("Заголовок над графиком:", this));
  titleRow->addStretch();
  layout->addLayout(titleRow);
  m_memoTitle = new QPlainTextEdit(this);
  m_memoTitle->setObjectName("MemoTitle");
  m_memoTitle->setFixedHeight(m_memoTitle->fontMetrics().lineSpacing() * 3 + 12);
  layout->addWidget(m_memoTitle);
  auto* footRow = new QHBoxLayout;
  footRow->addWidget(new QLabel("Подпись под графиком:", this));
  footRow->addStretch();
  layout->addLayout(footRow);
  m_memoFoot = new QPlainTextEdit(this);
  m_memoFoot->setObjectName("MemoFoot");
  m_memoFoot->setFixedHeight(m_memoTitle->height());
  layout->addWidget(m_memoFoot);

  // The axes: caption, title field, title font, labels font, and the (hidden) angle.
  auto* axes = new QGridLayout;
  m_edLeftAxis = axisTitleBox("edLeftAxis", kLeftAxisPresets, this);
  m_edBottomAxis = axisTitleBox("edBottomAxis", kBottomAxisPresets, this);
  m_edTopAxis = hiddenField("edTopAxis", this);
  m_edRightAxis = hiddenField("edRightAxis", this);
  m_edLeftAngle = hiddenField("edLeftAngle", this);
  m_edBottomAngle = hiddenField("edBottomAngle", this);
  m_edTopAngle = hiddenField("edTopAngle", this);
  m_edRightAngle = hiddenField("edRightAngle", this);
  struct AxisRow {
    const char* caption;
    QWidget* field;
    int titleButton;
    ChartTextElement title;
    int labelsButton;
    ChartTextElement labels;
    const char* labelsHint;
    QLineEdit* angle;
    bool shown;
  };
  const AxisRow rows[] = {
      {"Левая вертикаль (подпись):", m_edLeftAxis, 7, ChartTextElement::LeftTitle, 1,
       ChartTextElement::LeftLabels, "Фонт оцифровки", m_edLeftAngle, true},
      {"Нижняя горизонталь (подпись):", m_edBottomAxis, 9, ChartTextElement::BottomTitle, 2,
       ChartTextElement::BottomLabels, "Фонт оцифровки", m_edBottomAngle, true},
      {"Верхняя горизонталь", m_edTopAxis, 8, ChartTextElement::TopTitle, 4,
       ChartTextElement::TopLabels, "Фонт оцифровки", m_edTopAngle, false},
      {"Правая вертикаль:", m_edRightAxis, 10, ChartTextElement::RightTitle, 3,
       ChartTextElement::RightLabels, "Фонт", m_edRightAngle, false},
  };
  int row = 0;
  for (const AxisRow& r : rows) {
    auto* caption = new QLabel(r.caption, this);
    auto* angleCaption = new QLabel("Угол:", this);
    axes->addWidget(caption, row, 0);
    axes->addWidget(r.field, row, 1);
    axes->addWidget(addFontButton(r.titleButton, r.title, false, "Фонт", r.shown), row, 2);
    axes->addWidget(addFontButton(r.labelsButton, r.labels, true, r.labelsHint, r.shown), row, 3);
    axes->addWidget(angleCaption, row, 4);
    axes->addWidget(r.angle, row, 5);
    // The angles are never shown; the top and right axes' rows neither.
    angleCaption->hide();
    r.angle->hide();
    caption->setVisible(r.shown);
    r.field->setVisible(r.shown);
    ++row;
  }
  layout->addLayout(axes);
  titleRow->addWidget(addFontButton(6, ChartTextElement::Title, false, "Фонт", true));
  footRow->addWidget(addFontButton(5, ChartTextElement::Foot, false, "Фонт", true));

  auto* legendRow = new QHBoxLayout;
  legendRow->addWidget(new QLabel("Шрифт легенд:", this));
  legendRow->addWidget(addFontButton(11, ChartTextElement::Legend, false, "Фонт", true));
  legendRow->addStretch();
  auto* button1 = new QPushButton("Фонт для всех надписей", this);
  button1->setObjectName("Button1");
  button1->setAutoDefault(false);
  connect(button1, &QPushButton::clicked, this, [this] { chooseFontForAll(); });
  legendRow->addWidget(button1);
  layout->addLayout(legendRow);

  auto* group = new QGroupBox("Положение легенды", this);
  group->setObjectName("RadioGroup1");
  auto* groupLayout = new QHBoxLayout(group);
  m_legendLeft = new QRadioButton("слева внизу", group);
  m_legendRight = new QRadioButton("справа", group);
  m_legendLeft->setChecked(true);
  groupLayout->addWidget(m_legendLeft);
  groupLayout->addWidget(m_legendRight);
  layout->addWidget(group);
  // The legend alignment changes at once; the legend moves at the next re-layout.
  connect(m_legendRight, &QRadioButton::toggled, this, [this](bool right) {
    if (m_hooks.setLegendRight) {
      m_hooks.setLegendRight(right);
    }
  });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QToolButton* TfmEditComments::addFontButton(int number, ChartTextElement element, bool digits,
                                            const char* hint, bool shown) {
  auto* button = new QToolButton(this);
  button->setObjectName(QString("SpeedButton%1").arg(number));
  if (digits) {
    button->setText("12,3");
  } else {
    button->setIcon(fontGlyph());
  }
  button->setToolTip(hint);
  button->setAccessibleName(hint);
  button->setVisible(shown);
  connect(button, &QToolButton::clicked, this, [this, element] { chooseElementFont(element); });
  return button;
}

QFontDialog& TfmEditComments::fontD() {
  if (m_fontD == nullptr) {
    m_fontD = new QFontDialog(this);
    m_fontD->setObjectName("FontD");
    m_fontD->setOption(QFontDialog::ScalableFonts);  // outline fonts only
  }
  return *m_fontD;
}

namespace {

// The font dialog selects a style by its name in the family's list ("Book", "Regular"),
// and falls back to the first in the list (often a bold italic) when the font's generic
// name ("Normal") is not there: name the family's own style of the same weight and slant.
QFont withFamilyStyleName(QFont font) {
  if (!font.styleName().isEmpty()) {
    return font;
  }
  const QString family = font.family();
  for (const QString& style : QFontDatabase::styles(family)) {
    const QFont candidate = QFontDatabase::font(family, style, font.pointSize());
    if (candidate.weight() == font.weight() && candidate.italic() == font.italic()) {
      font.setStyleName(style);
      break;
    }
  }
  return font;
}

}  // namespace

void TfmEditComments::chooseElementFont(ChartTextElement element) {
  if (!m_hooks.font || !m_hooks.setFont) {
    return;
  }
  QFontDialog& dialog = fontD();
  dialog.setCurrentFont(withFamilyStyleName(m_hooks.font(element)));
  if (dialog.exec() == QDialog::Accepted) {
    m_hooks.setFont(element, dialog.selectedFont());
  }
  if (m_hooks.repaint) {
    m_hooks.repaint();
  }
}

QFont TfmEditComments::sharedFont() const {
  QFont best;
  int bestCount = 0;
  for (const ChartTextElement element : kSavedFontElements) {
    const QFont candidate = m_hooks.font(element);
    int count = 0;
    for (const ChartTextElement other : kSavedFontElements) {
      count += m_hooks.font(other) == candidate ? 1 : 0;
    }
    if (count > bestCount) {  // ties go to the first of the seven (the title)
      best = candidate;
      bestCount = count;
    }
  }
  return best;
}

void TfmEditComments::chooseFontForAll() {
  if (!m_hooks.setFont) {
    return;
  }
  // Opens on the font the chart's texts now share (the one most of the seven carry), so
  // the user starts from what is drawn, not from whatever the font dialog guesses.
  QFontDialog& dialog = fontD();
  if (m_hooks.font) {
    dialog.setCurrentFont(withFamilyStyleName(sharedFont()));
  }
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  const QFont chosen = dialog.selectedFont();
  for (const ChartTextElement element : kSavedFontElements) {
    m_hooks.setFont(element, chosen);
  }
  if (m_hooks.repaint) {
    m_hooks.repaint();
  }
}

void TfmEditComments::setTexts(const ChartTextFields& t) {
  m_memoTitle->setPlainText(QString::fromStdString(joinLines(t.titleLines)));
  m_memoFoot->setPlainText(QString::fromStdString(joinLines(t.footLines)));
  m_edLeftAxis->setEditText(QString::fromStdString(t.leftAxis));
  m_edBottomAxis->setEditText(QString::fromStdString(t.bottomAxis));
  m_edTopAxis->setText(QString::fromStdString(t.topAxis));
  m_edRightAxis->setText(QString::fromStdString(t.rightAxis));
  m_edLeftAngle->setText(QString::number(t.leftAngle));
  m_edRightAngle->setText(QString::number(t.rightAngle));
  m_edTopAngle->setText(QString::number(t.topAngle));
  m_edBottomAngle->setText(QString::number(t.bottomAngle));
}

ChartTextFields TfmEditComments::texts() const {
  ChartTextFields t;
  t.titleLines = textLines(memoText(m_memoTitle), '\n');
  t.footLines = textLines(memoText(m_memoFoot), '\n');
  t.leftAxis = m_edLeftAxis->currentText().toStdString();
  t.bottomAxis = m_edBottomAxis->currentText().toStdString();
  t.topAxis = m_edTopAxis->text().toStdString();
  t.rightAxis = m_edRightAxis->text().toStdString();
  t.leftAngle = angleOf(m_edLeftAngle, t.leftAngle);
  t.rightAngle = angleOf(m_edRightAngle, t.rightAngle);
  t.topAngle = angleOf(m_edTopAngle, t.topAngle);
  t.bottomAngle = angleOf(m_edBottomAngle, t.bottomAngle);
  return t;
}

bool TfmEditComments::run(DialogOptions& options) {
  auto& fields = dynamic_cast<ChartTextsOptions&>(options);
  setTexts(fields.texts);
  {
    const QSignalBlocker blockLeft(m_legendLeft);
    const QSignalBlocker blockRight(m_legendRight);
    const bool right = m_hooks.legendRight && m_hooks.legendRight();
    (right ? m_legendRight : m_legendLeft)->setChecked(true);
  }
  if (exec() != QDialog::Accepted) {
    return false;
  }
  fields.texts = texts();
  return true;
}

}  // namespace tarvik::dialogs
