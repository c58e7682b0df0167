// The panels of the main window: the top panel of speed buttons, the two toolbars and the
// bottom panel with the coordinate readout and the active-graph indicator.
#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QToolButton>

#include "app/ChartMy.h"
#include "app/Hint.h"

namespace tarvik::app {

namespace {

constexpr QSize kImageSize(20, 20);

QIcon icon(const char* name) { return QIcon(QString(":/icons/%1.svg").arg(name)); }

QToolBar* newToolBar(QWidget* parent, const char* name) {
  auto* bar = new QToolBar(parent);
  bar->setObjectName(name);
  bar->setIconSize(kImageSize);
  bar->setMovable(false);
  bar->setFloatable(false);
  return bar;
}

// The X and Y toolbars share short hints ("Умножить"); a screen reader names them apart.
void nameApart(QToolBar* bar, const char* name, const char* accessibleName) {
  for (QWidget* button : bar->findChildren<QWidget*>(name)) {
    button->setAccessibleName(accessibleName);
  }
}

}  // namespace

QAction* TfmChart::toolButton(QToolBar* bar, const char* name, const char* hint,
                              const char* iconName, bool shown) {
  QAction* action = bar->addAction(icon(iconName), QString());
  action->setObjectName(name);
  applyHint(action, hint);
  if (QWidget* button = bar->widgetForAction(action)) {
    button->setObjectName(name);
    button->setAccessibleName(accessibleNameOf(hint));  // an icon says nothing to a reader
  }
  action->setVisible(shown);
  m_routedActions.push_back(action);
  return action;
}

QAbstractButton* TfmChart::speedButton(const char* name, const char* hint, const char* iconName) {
  auto* button = new QToolButton(m_topPanel);
  button->setObjectName(name);
  button->setIcon(icon(iconName));
  button->setIconSize(kImageSize);
  button->setAutoRaise(true);
  applyHint(button, hint);
  button->setAccessibleName(accessibleNameOf(hint));
  m_topPanel->layout()->addWidget(button);
  m_routedButtons.push_back(button);
  return button;
}

QWidget* TfmChart::buildTopPanel() {
  m_topPanel = new QWidget(this);
  m_topPanel->setObjectName("Panel1");
  auto* row = new QHBoxLayout(m_topPanel);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(1);

  speedButton("btnExit", "Закрыть", "exit");
  speedButton("btnOpen", "Открыть файл...", "open");
  speedButton("SpeedButton3", "Сохранить файл...", "save");
  speedButton("SpeedButton2", "Закрыть график...", "close-graph");
  m_btnEdit = speedButton(
      "btnEdit",
      "Редактировать активный график|При нажатой кнопке мышью можно редактировать активный "
      "график",
      "edit");
  m_btnEdit->setCheckable(true);
  speedButton("SpeedButton1", "Легенда|Вкл./выкл. легенды", "legend");
  m_speedButton4 = speedButton("SpeedButton4", "Измерить|Измерить активный график", "measure");
  m_speedButton4->setCheckable(true);

  auto* label2 = new QLabel("ПХ, нс", m_topPanel);
  label2->setObjectName("Label2");
  applyHint(label2, "Переходная характеристика датчика");
  row->addSpacing(6);
  row->addWidget(label2);
  m_edit2 = new QLineEdit("0.0", m_topPanel);
  m_edit2->setObjectName("Edit2");
  m_edit2->setMaximumWidth(56);
  applyHint(m_edit2, "Переходн. х-ка датчика (0 - если не учитывать)");
  label2->setBuddy(m_edit2);
  row->addWidget(m_edit2);
  row->addSpacing(6);

  speedButton("SpeedButton5", "Уменьшить по вертикали", "stretch-vertical");
  speedButton("BitBtn2", "Уменьшить", "zoom-out");
  QAbstractButton* all = speedButton("BitBtn3", "Показать все", "zoom-all");
  all->setText("All");
  // A screen reader's name holds the caption the user sees, then what it does.
  all->setAccessibleName("All — Показать все");
  static_cast<QToolButton*>(all)->setToolButtonStyle(Qt::ToolButtonTextOnly);
  speedButton("BitBtn1", "Увеличить", "zoom-in");
  speedButton("SpeedButton6", "Текущий график на весь экран", "frame-active");
  speedButton("SpeedButton7", "Текущий график вверх", "move-up");
  speedButton("SpeedButton8", "Текущий график вниз", "move-down");

  auto* stop = new QPushButton("СТОП", m_topPanel);
  stop->setObjectName("btnStop");
  stop->setStyleSheet("QPushButton { color: red; font-weight: bold; }");
  applyHint(stop, "Остановить преобразование Фурье");
  stop->setVisible(false);
  row->addWidget(stop);
  m_btnStop = stop;
  auto* fft = new QPushButton("FFT", m_topPanel);
  fft->setObjectName("Button1");
  fft->setVisible(false);
  row->addWidget(fft);
  m_routedButtons.push_back(fft);
  row->addStretch(1);
  return m_topPanel;
}

QToolBar* TfmChart::buildFirstToolBar() {
  QToolBar* bar = newToolBar(this, "ToolBar1");
  m_toolBar1 = bar;
  toolButton(bar, "ToolButton1", "Сдвиг по вертикали", "shift-y");
  toolButton(bar, "ToolButton2", "Умножить", "multiply-y");
  toolButton(bar, "ToolButton3", "Разделить", "divide-y");
  nameApart(bar, "ToolButton2", "Умножить по Y");
  nameApart(bar, "ToolButton3", "Разделить по Y");
  toolButton(bar, "ToolButton4", "Корень из модуля", "sqrt-abs");
  toolButton(bar, "ToolButton5", "Возведение в квадрат", "square");
  toolButton(bar, "ToolButton6", "Модуль", "abs");
  toolButton(bar, "ToolButton7", "Инверсия", "invert");
  toolButton(bar, "ToolButton8", "Y=1/Y", "reciprocal");
  toolButton(bar, "ToolButton25", "Преобр.Uвых датчика Ларен-5 в Iвх", "sensor-current", false);
  toolButton(bar, "ToolButton9", "Нормализация", "normalize");
  bar->addSeparator();
  toolButton(bar, "ToolButton11", "Сложение графиков", "sum");
  toolButton(bar, "ToolButton12", "Умножение графиков", "product");
  toolButton(bar, "ToolButton13", "Производная", "derivative");
  toolButton(bar, "ToolButton14", "Интеграл", "integral");
  toolButton(bar, "ToolButton15", "Преобразование Фурье", "fourier");
  toolButton(bar, "ToolButton16", "Обратное преобразование Фурье", "inverse-fourier");
  bar->addSeparator();
  toolButton(bar, "ToolButton18", "Сдвиг по горизонтали", "shift-x");
  toolButton(bar, "ToolButton19", "Разделить", "divide-x");
  toolButton(bar, "ToolButton20", "Умножить", "multiply-x");
  nameApart(bar, "ToolButton19", "Разделить по X");
  nameApart(bar, "ToolButton20", "Умножить по X");
  bar->addSeparator()->setVisible(false);
  toolButton(bar, "ToolButton23", "Y/X", "y-over-x", false);
  toolButton(bar, "ToolButton22", "X/Y", "x-over-y", false);
  toolButton(bar, "ToolButton24", "Поменять местами X и Y", "swap-xy", false);
  bar->addSeparator();
  toolButton(bar, "ToolButton37", "Сплайн", "spline", false);
  toolButton(bar, "btnSpline", "Сплайн", "spline");
  return bar;
}

QToolBar* TfmChart::buildSecondToolBar() {
  QToolBar* bar = newToolBar(this, "ToolBar2");
  m_toolBar2 = bar;
  toolButton(bar, "ToolButton26", "Сдвиг к нулю координат по горизонтали", "shift-to-zero");
  toolButton(bar, "ToolButton27", "Вычисление среднего значения", "mean");
  toolButton(bar, "ToolButton28", "Вычисление среднеквадратического значения", "rms");
  bar->addSeparator();
  toolButton(bar, "ToolButton30", "Пребразование в децибелы. Отрицательные значения игнорируются",
             "decibel");
  toolButton(bar, "ToolButton31", "деление по Y на список", "divide-by-list", false);
  bar->addSeparator();
  m_cbFixLine = new QCheckBox("Фикс. толщ. линий", bar);
  m_cbFixLine->setObjectName("cbFixLine");
  applyHint(m_cbFixLine, "Фиксация толшины линий графиков");
  bar->addWidget(m_cbFixLine);
  bar->addSeparator();
  toolButton(bar, "btnUI", "Преобразование Uвых датчика в ток", "sensor-current", false);
  bar->addSeparator();
  toolButton(bar, "ToolButton32", "Вычисление энергии на нагрузке 1 Ом по току", "energy");
  for (const char* name : {"rb01", "rb05"}) {
    auto* radio = new QRadioButton(name == QString("rb01") ? "0.1-0.5" : "0.5-0.5", bar);
    radio->setObjectName(name);
    applyHint(radio, "Способ вычисления длительности импульса");
    bar->addWidget(radio);
    m_routedButtons.push_back(radio);
  }
  bar->findChild<QRadioButton*>("rb05")->setChecked(true);
  bar->addSeparator();
  // Two vertical cursors with their table under the chart.
  QAction* cursors = toolButton(bar, "btnCursors",
                                "Курсоры|Два вертикальных курсора: перетаскивание мышью, щелчок с "
                                "нажатой клавишей 1 или 2 ставит курсор",
                                "cursors");
  cursors->setCheckable(true);
  m_btnCursors = qobject_cast<QAbstractButton*>(bar->widgetForAction(cursors));
  // Every transition and pulse of the active graph, in a panel beside the chart.
  toolButton(bar, "btnPulses",
             "Импульсы|Все перепады и импульсы активного графика: уровни, длительности фронтов, "
             "выбросы, ширина, период, статистика",
             "pulses");
  return bar;
}

QWidget* TfmChart::buildBottomPanel() {
  m_bottomPanel = new QWidget(this);
  m_bottomPanel->setObjectName("Panel2");
  auto* row = new QHBoxLayout(m_bottomPanel);
  row->setContentsMargins(4, 2, 4, 2);

  m_lbCoopd = new QLabel("Координаты", m_bottomPanel);
  m_lbCoopd->setObjectName("lbCoopd");
  m_lbCoopd->setMinimumWidth(220);
  row->addWidget(m_lbCoopd);

  auto* legendSwitch = new QToolButton(m_bottomPanel);
  legendSwitch->setObjectName("SpeedButton9");
  legendSwitch->setIcon(icon("legend-position"));
  legendSwitch->setIconSize(kImageSize);
  legendSwitch->setAutoRaise(true);
  const char* legendSwitchHint = "|Переключатель положения легенд";
  applyHint(legendSwitch, legendSwitchHint);
  legendSwitch->setAccessibleName(accessibleNameOf(legendSwitchHint));
  row->addWidget(legendSwitch);
  m_routedButtons.push_back(legendSwitch);

  m_paColor = new QLabel(m_bottomPanel);
  m_paColor->setObjectName("paColor");
  m_paColor->setFixedSize(22, 16);
  m_paColor->setFrameShape(QFrame::Box);
  m_paColor->setAutoFillBackground(true);
  m_paColor->setCursor(Qt::PointingHandCursor);
  applyHint(m_paColor, "Цвет активного графика");
  m_paColor->setAccessibleName("Цвет активного графика");
  row->addWidget(m_paColor);

  m_label1 = new QLabel("Активен: 0", m_bottomPanel);
  m_label1->setObjectName("Label1");
  QFont bold = m_label1->font();
  bold.setBold(true);
  m_label1->setFont(bold);
  m_label1->setAutoFillBackground(true);
  QPalette white = m_label1->palette();
  white.setColor(QPalette::Window, Qt::white);
  m_label1->setPalette(white);
  m_label1->setMinimumWidth(260);
  m_label1->setCursor(Qt::PointingHandCursor);
  applyHint(m_label1, "|Щелкните для выбора активного графика");
  row->addWidget(m_label1);
  row->addStretch(1);

  m_label1->installEventFilter(this);
  m_paColor->installEventFilter(this);
  return m_bottomPanel;
}

}  // namespace tarvik::app
