#include "dialogs/ChartLin.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/ChartAppearance.h"

namespace tarvik::dialogs {
namespace {

// The colour swatch: a double click (or Space while it has the focus) asks for a colour.
class Swatch : public QLabel {
 public:
  Swatch(QWidget* parent, std::function<void()> activate)
      : QLabel(parent), m_activate(std::move(activate)) {
    setFixedSize(48, 22);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void mouseDoubleClickEvent(QMouseEvent*) override { m_activate(); }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Space) {
      m_activate();
      return;
    }
    QLabel::keyPressEvent(event);
  }

 private:
  std::function<void()> m_activate;
};

}  // namespace

TfmLines::TfmLines(QWidget* parent) : QDialog(parent) {
  setObjectName("fmLines");
  setWindowTitle("Линии графика");
  auto* layout = new QVBoxLayout(this);
  m_comboBox1 = new QComboBox(this);
  m_comboBox1->setObjectName("ComboBox1");
  m_comboBox1->setMinimumContentsLength(24);
  layout->addWidget(m_comboBox1);

  m_radioGroup1 = new QGroupBox("Стиль линии", this);
  m_radioGroup1->setObjectName("RadioGroup1");
  auto* styleLayout = new QVBoxLayout(m_radioGroup1);
  m_styles = new QButtonGroup(this);
  const char* const captions[] = {"Сплошная", "Крупный пунктир (1)", "Мелкий пунктир  (2)", "1+2",
                                  "1+2+2"};
  int id = 0;
  for (const char* caption : captions) {
    auto* item = new QRadioButton(caption, m_radioGroup1);
    styleLayout->addWidget(item);
    m_styles->addButton(item, id++);
  }
  layout->addWidget(m_radioGroup1);

  auto* widthRow = new QHBoxLayout;
  widthRow->addWidget(new QLabel("Толщина линии:", this));
  m_spinEdit1 = new QSpinBox(this);
  m_spinEdit1->setObjectName("SpinEdit1");
  m_spinEdit1->setRange(kMinLineWidth, kMaxLineWidth);
  widthRow->addWidget(m_spinEdit1);
  widthRow->addStretch();
  layout->addLayout(widthRow);

  auto* colourRow = new QHBoxLayout;
  colourRow->addWidget(new QLabel("Цвет линии:", this));
  m_image1 = new Swatch(this, [this] { chooseColour(); });
  m_image1->setObjectName("Image1");
  colourRow->addWidget(m_image1);
  colourRow->addStretch();
  layout->addLayout(colourRow);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(m_comboBox1, &QComboBox::currentIndexChanged, this,
          [this](int index) { showLine(index); });
  connect(m_styles, &QButtonGroup::idClicked, this, [this](int index) {
    Graph* graph = shownGraph();
    const std::optional<LineStyle> style = lineStyleAt(index);
    if (graph != nullptr && style &&
        applyLineChange(*graph, LineChange{style, {}, {}}) == LineChangeResult::Applied) {
      afterChange();
    }
  });
  connect(m_spinEdit1, &QSpinBox::valueChanged, this, [this](int width) {
    Graph* graph = shownGraph();
    if (graph != nullptr &&
        applyLineChange(*graph, LineChange{{}, width, {}}) == LineChangeResult::Applied) {
      m_radioGroup1->setEnabled(lineStyleSelectable(width));
      afterChange();
    }
  });
}

void TfmLines::runFor(GraphStore& store, std::function<void()> changed) {
  if (store.empty()) {
    return;
  }
  m_store = &store;
  m_changed = std::move(changed);
  {
    const QSignalBlocker block(m_comboBox1);
    m_comboBox1->clear();
    for (std::size_t i = 0; i < store.count(); ++i) {
      m_comboBox1->addItem(QString::fromStdString(store.graph(i).title));
    }
    m_comboBox1->setCurrentIndex(0);  // the first graph, not the active one
  }
  showLine(0);
  exec();
  m_store = nullptr;
  m_changed = {};
}

Graph* TfmLines::shownGraph() const {
  const int index = m_comboBox1->currentIndex();
  if (m_store == nullptr || index < 0 || static_cast<std::size_t>(index) >= m_store->count()) {
    return nullptr;
  }
  return &m_store->graph(static_cast<std::size_t>(index));
}

void TfmLines::showLine(int) {
  const Graph* graph = shownGraph();
  if (graph == nullptr) {
    return;
  }
  const QSignalBlocker blockWidth(m_spinEdit1);
  m_spinEdit1->setValue(graph->lineWidth);
  m_radioGroup1->setEnabled(lineStyleSelectable(graph->lineWidth));
  if (QAbstractButton* item = m_styles->button(lineStyleIndex(graph->lineStyle))) {
    item->setChecked(true);
  }
  fillSwatch(graph->colour);
}

void TfmLines::fillSwatch(Rgb colour) {
  QPalette palette = m_image1->palette();
  palette.setColor(QPalette::Window, QColor(colour.r, colour.g, colour.b));
  m_image1->setPalette(palette);
}

void TfmLines::chooseColour() {
  Graph* graph = shownGraph();
  if (graph == nullptr) {
    return;
  }
  if (m_colourD == nullptr) {
    m_colourD = new QColorDialog(this);
    m_colourD->setObjectName("ColorDialog1");
  }
  m_colourD->setCurrentColor(QColor(graph->colour.r, graph->colour.g, graph->colour.b));
  if (m_colourD->exec() != QDialog::Accepted) {
    return;
  }
  const QColor chosen = m_colourD->selectedColor();
  const Rgb colour{static_cast<std::uint8_t>(chosen.red()),
                   static_cast<std::uint8_t>(chosen.green()),
                   static_cast<std::uint8_t>(chosen.blue())};
  applyLineChange(*graph, LineChange{{}, {}, colour});
  fillSwatch(colour);
  afterChange();
}

void TfmLines::afterChange() {
  if (m_changed) {
    m_changed();
  }
}

}  // namespace tarvik::dialogs
