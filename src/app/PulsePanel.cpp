#include "app/PulsePanel.h"

#include <QAbstractTableModel>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "core/NumberFormat.h"
#include "core/OutputLimits.h"
#include "view/ChartView.h"

namespace tarvik::app {

// One measurement as the worker takes it: the graph's point blocks (shared, so a command
// that rewrites the graph meanwhile writes a copy), the range and the fields.
struct PulsePanel::Request {
  std::shared_ptr<const PointBlock> xs, ys;
  PulseRange range;
  PulseOptions options;
};

namespace {

bool sameOptions(const PulseOptions& a, const PulseOptions& b) {
  return a.levels == b.levels && a.bins == b.bins && a.manualLow == b.manualLow &&
         a.manualHigh == b.manualHigh && a.lowerPercent == b.lowerPercent &&
         a.midPercent == b.midPercent && a.upperPercent == b.upperPercent &&
         a.regionFactor == b.regionFactor && a.tolerancePercent == b.tolerancePercent &&
         a.polarity == b.polarity;
}

QString number(double value, char separator) {
  return QString::fromStdString(formatGeneral(value, 6, separator));
}

}  // namespace

// The measurements, one at a time on their own thread. A request that arrives while one
// runs replaces any request still waiting, so only the newest is measured next.
class PulseWorker {
 public:
  using Done = std::function<void(std::uint64_t, std::shared_ptr<const PulseReport>, std::string)>;
  explicit PulseWorker(Done done) : m_done(std::move(done)), m_thread([this] { loop(); }) {}
  ~PulseWorker() {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
  }
  void submit(std::uint64_t generation, const PulsePanel::Request& request);

 private:
  struct Job {
    std::uint64_t generation = 0;
    std::shared_ptr<const PointBlock> xs, ys;
    PulseRange range;
    PulseOptions options;
  };
  void loop();

  Done m_done;
  // The points last measured when they were found finite and ascending as a whole: the
  // next range over them needs no pass over the whole graph (a zoom measures only what it
  // shows). Held, not watched: a block someone holds is never written, so they stay so.
  std::shared_ptr<const PointBlock> m_orderedX, m_orderedY;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::optional<Job> m_job;
  bool m_quit = false;
  std::thread m_thread;  // last: it starts once the rest is in place
};

void PulseWorker::submit(std::uint64_t generation, const PulsePanel::Request& request) {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_job = Job{generation, request.xs, request.ys, request.range, request.options};
  }
  m_wake.notify_one();
}

void PulseWorker::loop() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_wake.wait(lock, [this] { return m_quit || m_job.has_value(); });
      if (m_quit) {
        return;
      }
      job = std::move(*m_job);
      m_job.reset();
    }
    std::shared_ptr<const PulseReport> report;
    std::string error;
    try {
      const bool ordered = m_orderedX == job.xs && m_orderedY == job.ys;
      m_orderedX.reset();
      m_orderedY.reset();
      auto measured = std::make_shared<const PulseReport>(
          measurePulseReport(*job.xs, *job.ys, job.range, job.options, ordered));
      if (measured->graphOrdered) {
        m_orderedX = job.xs;
        m_orderedY = job.ys;
      }
      report = std::move(measured);
    } catch (const std::bad_alloc&) {
      error = kOutOfMemory;
    } catch (const std::exception& e) {
      error = e.what();
    }
    job.xs.reset();
    job.ys.reset();
    m_done(job.generation, std::move(report), std::move(error));
  }
}

// The rows of a report for the table view: cells are made when the view asks for them,
// so a report of many rows costs nothing until it is scrolled to.
class PulseTableModel final : public QAbstractTableModel {
 public:
  explicit PulseTableModel(QObject* parent) : QAbstractTableModel(parent) {
    for (const std::string& name : pulseReportColumns()) {
      m_columns << QString::fromStdString(name);
    }
  }
  void setReport(std::shared_ptr<const PulseReport> report, char separator) {
    beginResetModel();
    m_report = std::move(report);
    m_separator = separator;
    m_cachedRow = -1;
    endResetModel();
  }
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() || !m_report ? 0 : static_cast<int>(pulseReportRowCount(*m_report));
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!m_report || !index.isValid()) {
      return {};
    }
    if (role == Qt::TextAlignmentRole) {
      return index.column() == 0 ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
      return {};
    }
    if (index.row() != m_cachedRow) {
      // Nine digits fit a cell; "Копировать" gives all seventeen.
      m_cells = pulseReportRow(*m_report, static_cast<std::size_t>(index.row()), m_separator, 9);
      m_cachedRow = index.row();
    }
    return QString::fromStdString(m_cells[static_cast<std::size_t>(index.column())]);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= m_columns.size()) {
      return {};
    }
    return m_columns[section];
  }

 private:
  QStringList m_columns;
  std::shared_ptr<const PulseReport> m_report;
  char m_separator = '.';
  mutable int m_cachedRow = -1;
  mutable std::vector<std::string> m_cells;
};

PulsePanel::PulsePanel(TfmChart& window)
    : QDockWidget(QStringLiteral("Импульсы"), &window), m_window(window) {
  setObjectName("dkPulses");
  auto* area = new QWidget(this);
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(4, 2, 4, 4);
  column->setSpacing(3);
  buildFields(area);

  m_status = new QLabel(area);
  m_status->setObjectName("lbPulseStatus");
  m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(m_status);

  m_model = new PulseTableModel(this);
  m_table = new QTableView(area);
  m_table->setObjectName("tbPulses");
  m_table->setModel(m_model);
  m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->hide();
  m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  m_table->horizontalHeader()->setDefaultSectionSize(
      m_table->fontMetrics().horizontalAdvance("-8.88888888e-88") + 8);
  m_table->setColumnWidth(0, m_table->fontMetrics().horizontalAdvance("amplitude") + 12);
  m_table->setColumnWidth(1, m_table->fontMetrics().horizontalAdvance("888888") + 12);
  column->addWidget(m_table, 1);
  connect(m_table, &QTableView::clicked, this,
          [this](const QModelIndex& index) { goToRow(index.row()); });

  auto* buttons = new QHBoxLayout;
  m_histogram = new QPushButton("Гистограмма", area);
  m_histogram->setObjectName("btnPulseHistogram");
  m_trend = new QPushButton("Тренд", area);
  m_trend->setObjectName("btnPulseTrend");
  auto* classesCaption = new QLabel("Классов:", area);
  m_classes = new QSpinBox(area);
  m_classes->setObjectName("sePulseClasses");
  m_classes->setRange(kMinHistogramClasses, kMaxHistogramClasses);
  m_classes->setValue(20);
  classesCaption->setBuddy(m_classes);
  m_copy = new QPushButton("Копировать", area);
  m_copy->setObjectName("btnPulseCopy");
  buttons->addWidget(m_histogram);
  buttons->addWidget(classesCaption);
  buttons->addWidget(m_classes);
  buttons->addWidget(m_trend);
  buttons->addStretch(1);
  buttons->addWidget(m_copy);
  column->addLayout(buttons);
  connect(m_histogram, &QPushButton::clicked, this, [this] { appendMetricGraph(true); });
  connect(m_trend, &QPushButton::clicked, this, [this] { appendMetricGraph(false); });
  connect(m_copy, &QPushButton::clicked, this, [this] { copyTable(); });
  setWidget(area);

  m_soon = new QTimer(this);
  m_soon->setSingleShot(true);
  m_soon->setInterval(0);
  connect(m_soon, &QTimer::timeout, this, [this] { request(); });

  // The worker's results come back as queued calls on the panel: dropped if the panel is
  // gone, and never inside another of its handlers.
  m_worker = std::make_unique<PulseWorker>([this](std::uint64_t generation,
                                                  std::shared_ptr<const PulseReport> report,
                                                  std::string error) {
    QMetaObject::invokeMethod(
        this,
        [this, generation, report = std::move(report), error = std::move(error)] {
          accept(generation, report, QString::fromStdString(error));
        },
        Qt::QueuedConnection);
  });

  // What the panel follows: every command (new points, another active graph, undo), the
  // gestures that rewrite points, zoom and pan, the cursors.
  view::ChartView* chart = window.chart();
  connect(&window, &TfmChart::commandFinished, this, [this] { refresh(false); });
  connect(chart, &view::ChartView::pointsEdited, this, [this] { refresh(false); });
  connect(chart, &view::ChartView::undoStepClosed, this, [this] { refresh(false); });
  connect(chart, &view::ChartView::cursorsChanged, this, [this] { refresh(false); });
  connect(chart->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this] { refresh(false); });
}

PulsePanel::~PulsePanel() { m_worker.reset(); }

void PulsePanel::buildFields(QWidget* area) {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  int row = 0, col = 0;
  const auto add = [&](const char* caption, QWidget* field) {
    auto* label = new QLabel(QString::fromUtf8(caption), area);
    label->setBuddy(field);
    grid->addWidget(label, row, col * 2, Qt::AlignRight);
    grid->addWidget(field, row, col * 2 + 1);
    if (++col == 4) {
      col = 0;
      ++row;
    }
  };
  const auto percent = [area](const char* name, double value) {
    auto* box = new QDoubleSpinBox(area);
    box->setObjectName(name);
    box->setRange(0, 100);
    box->setDecimals(2);
    box->setValue(value);
    return box;
  };
  m_range = new QComboBox(area);
  m_range->setObjectName("cbPulseRange");
  m_range->addItems({"Весь график", "Видимая область", "Между курсорами"});
  add("Диапазон:", m_range);
  m_levels = new QComboBox(area);
  m_levels->setObjectName("cbPulseLevels");
  m_levels->addItems(
      {"Гистограмма: медиана", "Гистограмма: среднее", "Минимум и максимум", "Вручную"});
  add("Уровни:", m_levels);
  m_low = new QLineEdit(area);
  m_low->setObjectName("edPulseLow");
  add("Низкий:", m_low);
  m_high = new QLineEdit(area);
  m_high->setObjectName("edPulseHigh");
  add("Высокий:", m_high);
  m_bins = new QSpinBox(area);
  m_bins->setObjectName("sePulseBins");
  m_bins->setRange(kMinLevelBins, kMaxLevelBins);
  m_bins->setValue(100);
  add("Интервалов:", m_bins);
  m_lower = percent("sePulseLower", 10);
  add("Нижний, %:", m_lower);
  m_mid = percent("sePulseMid", 50);
  add("Средний, %:", m_mid);
  m_upper = percent("sePulseUpper", 90);
  add("Верхний, %:", m_upper);
  m_region = new QDoubleSpinBox(area);
  m_region->setObjectName("sePulseRegion");
  m_region->setRange(0.01, 1000);
  m_region->setValue(3);
  add("Область, длит.:", m_region);
  m_tolerance = new QDoubleSpinBox(area);
  m_tolerance->setObjectName("sePulseTolerance");
  m_tolerance->setRange(0.01, 100);
  m_tolerance->setValue(2);
  add("Допуск, %:", m_tolerance);
  m_polarity = new QComboBox(area);
  m_polarity->setObjectName("cbPulsePolarity");
  m_polarity->addItems({"По первому перепаду", "Положительные", "Отрицательные"});
  add("Импульсы:", m_polarity);
  static_cast<QVBoxLayout*>(area->layout())->addLayout(grid);

  const auto manualShown = [this] {
    const bool manual = m_levels->currentIndex() == 3;
    m_low->setEnabled(manual);
    m_high->setEnabled(manual);
  };
  manualShown();
  connect(m_levels, &QComboBox::currentIndexChanged, this, manualShown);
  for (QComboBox* box : {m_range, m_levels, m_polarity}) {
    connect(box, &QComboBox::currentIndexChanged, this, [this] { refresh(false); });
  }
  for (QLineEdit* edit : {m_low, m_high}) {
    connect(edit, &QLineEdit::textChanged, this, [this] { refresh(false); });
  }
  for (QSpinBox* box : {m_bins}) {
    connect(box, &QSpinBox::valueChanged, this, [this] { refresh(false); });
  }
  for (QDoubleSpinBox* box : {m_lower, m_mid, m_upper, m_region, m_tolerance}) {
    connect(box, &QDoubleSpinBox::valueChanged, this, [this] { refresh(false); });
  }
}

void PulsePanel::refresh(bool dataChanged) {
  m_dataChanged = m_dataChanged || dataChanged;
  if (isVisible() && !m_soon->isActive()) {
    m_soon->start();
  }
}

std::optional<PulseOptions> PulsePanel::readOptions(QString& refusal) const {
  PulseOptions o;
  constexpr StateLevelMethod kMethods[] = {StateLevelMethod::Histogram,
                                           StateLevelMethod::HistogramMean,
                                           StateLevelMethod::MinMax, StateLevelMethod::Manual};
  constexpr PulsePolarityChoice kPolarities[] = {
      PulsePolarityChoice::Auto, PulsePolarityChoice::Positive, PulsePolarityChoice::Negative};
  o.levels = kMethods[std::clamp(m_levels->currentIndex(), 0, 3)];
  o.polarity = kPolarities[std::clamp(m_polarity->currentIndex(), 0, 2)];
  o.bins = m_bins->value();
  o.lowerPercent = m_lower->value();
  o.midPercent = m_mid->value();
  o.upperPercent = m_upper->value();
  o.regionFactor = m_region->value();
  o.tolerancePercent = m_tolerance->value();
  if (o.levels == StateLevelMethod::Manual) {
    const char separator = m_window.ui().decimalSeparator();
    o.manualLow = parseTypedNumber(m_low->text().toStdString(), separator);
    o.manualHigh = parseTypedNumber(m_high->text().toStdString(), separator);
    if (!o.manualLow || !o.manualHigh || !(*o.manualLow < *o.manualHigh)) {
      refusal = "Ручные уровни: введите низкий и высокий, низкий меньше высокого";
      return std::nullopt;
    }
  }
  if (!(0 < o.lowerPercent && o.lowerPercent < o.midPercent && o.midPercent < o.upperPercent &&
        o.upperPercent < 100)) {
    refusal = "Опорные уровни: нужно 0 < нижний < средний < верхний < 100";
    return std::nullopt;
  }
  if (pulseOptionsRefusal(o)) {
    refusal = "Поля измерения импульсов не подходят";
    return std::nullopt;
  }
  return o;
}

std::optional<PulseRange> PulsePanel::readRange(QString& refusal) const {
  const view::ChartView* chart = m_window.chart();
  switch (static_cast<RangeChoice>(m_range->currentIndex())) {
    case RangeChoice::Visible: {
      const XRange visible = chart->visibleXRange();
      return PulseRange{visible.lower, visible.upper};
    }
    case RangeChoice::Cursors: {
      if (!chart->cursorsShown()) {
        refusal = "Курсоры выключены: включите их (Ctrl+K)";
        return std::nullopt;
      }
      const double a = chart->cursorX(0), b = chart->cursorX(1);
      return PulseRange{std::min(a, b), std::max(a, b)};
    }
    default:
      return PulseRange{};
  }
}

void PulsePanel::request() {
  const Graph* graph = m_window.store().activeGraph();
  QString refusal;
  std::optional<PulseOptions> options;
  std::optional<PulseRange> range;
  if (graph == nullptr) {
    refusal = "Нет активного графика";
  } else {
    options = readOptions(refusal);
    range = options ? readRange(refusal) : std::nullopt;
  }
  if (!range) {
    m_last.reset();
    ++m_generation;  // a result still on its way is stale now
    showMessage(refusal);
    emit resultShown();
    return;
  }
  auto next =
      std::make_unique<Request>(Request{graph->xBlock(), graph->yBlock(), *range, *options});
  const bool same = m_last && m_last->xs == next->xs && m_last->ys == next->ys &&
                    m_last->range.xmin == next->range.xmin &&
                    m_last->range.xmax == next->range.xmax &&
                    sameOptions(m_last->options, next->options);
  if (same && !m_dataChanged) {
    return;
  }
  m_dataChanged = false;
  m_last = std::move(next);
  ++m_generation;
  m_status->setText("Измерение…");
  m_worker->submit(m_generation, *m_last);
}

void PulsePanel::accept(std::uint64_t generation, std::shared_ptr<const PulseReport> report,
                        const QString& error) {
  if (generation != m_generation || !m_last) {
    return;  // a newer request is under way
  }
  if (!report) {
    showMessage(error);
    emit resultShown();
    return;
  }
  m_report = std::move(report);
  m_message.clear();
  m_model->setReport(m_report, m_window.ui().decimalSeparator());
  const char separator = m_window.ui().decimalSeparator();
  QString text = QString("Перепадов: %1, импульсов: %2; low %3, high %4")
                     .arg(m_report->transitionCount)
                     .arg(m_report->pulseCount)
                     .arg(number(m_report->levels.low, separator))
                     .arg(number(m_report->levels.high, separator));
  if (m_report->transitionCount > m_report->transitions.size() ||
      m_report->pulseCount > m_report->pulses.size()) {
    text += QString(" (в таблице первые %1)").arg(kPulseReportRows);
  }
  m_status->setText(text);
  m_window.chart()->redrawOverlay();
  emit resultShown();
}

void PulsePanel::showMessage(const QString& text) {
  m_message = text;
  m_report.reset();
  m_model->setReport(nullptr, '.');
  m_status->setText(text);
  m_window.chart()->redrawOverlay();
}

QString PulsePanel::statusText() const { return m_status->text(); }

QString PulsePanel::tableText() const {
  return m_report
             ? QString::fromStdString(pulseReportText(*m_report, m_window.ui().decimalSeparator()))
             : QString();
}

void PulsePanel::goToRow(int row) {
  if (!m_report || row < 0) {
    return;
  }
  const auto k = static_cast<std::size_t>(row);
  double centre = 0, span = 0;
  if (k < m_report->transitions.size()) {
    const Transition& t = m_report->transitions[k];
    centre = t.tMid;
    span = 20 * t.duration;  // the edge with its aberration regions on either side
  } else if (k - m_report->transitions.size() < m_report->pulses.size()) {
    const Pulse& p = m_report->pulses[k - m_report->transitions.size()];
    centre = (p.start + p.end) / 2;
    span = 2 * p.width;
  } else {
    return;
  }
  view::ChartView* chart = m_window.chart();
  const XRange visible = chart->visibleXRange();
  // Over the visible range a zoom would measure that one edge alone: the view moves there
  // at the width it has.
  if (static_cast<RangeChoice>(m_range->currentIndex()) == RangeChoice::Visible || !(span > 0) ||
      !std::isfinite(span)) {
    span = visible.upper - visible.lower;
  }
  chart->showXInterval(centre - span / 2, centre + span / 2);
}

void PulsePanel::appendMetricGraph(bool histogram) {
  const std::optional<PulseMetric> metric = pulseReportColumnMetric(
      static_cast<std::size_t>(std::max(0, m_table->currentIndex().column())));
  if (!metric) {
    m_window.ui().message(MessageKind::Info, "Выберите в таблице столбец показателя");
    return;
  }
  QString refusal;
  const std::optional<PulseOptions> options = readOptions(refusal);
  const std::optional<PulseRange> range = options ? readRange(refusal) : std::nullopt;
  const int active = m_window.store().activeIndex();
  if (active < 0 || !range) {
    m_window.ui().message(MessageKind::Info,
                          active < 0 ? "Нет активного графика" : refusal.toStdString());
    return;
  }
  const int classes = m_classes->value();
  const auto source = static_cast<std::size_t>(active);
  const std::string name(pulseMetricName(*metric));
  m_window.runGuarded(
      [&](CommandContext& ctx) {
        if (histogram) {
          appendPulseHistogram(ctx.store, source, *range, *options, *metric, classes);
        } else {
          appendPulseTrend(ctx.store, source, *range, *options, *metric);
        }
      },
      QString::fromStdString((histogram ? "Гистограмма: " : "Тренд: ") + name));
}

void PulsePanel::copyTable() {
  if (m_report) {
    QGuiApplication::clipboard()->setText(tableText());
  }
}

void PulsePanel::drawMarks(QCPPainter& painter, const QRect& plot) const {
  if (!isVisible() || !m_report || m_report->mids.empty()) {
    return;
  }
  const view::ChartView* chart = m_window.chart();
  const QCPAxis* x = chart->xAxis;
  const QCPRange visible = x->range();
  const std::vector<double>& mids = m_report->mids;
  auto it = std::lower_bound(mids.begin(), mids.end(), visible.lower);
  const auto end = std::upper_bound(it, mids.end(), visible.upper);
  const double level = chart->yAxis->coordToPixel(m_report->reference.mid);
  if (!std::isfinite(level)) {
    return;
  }
  const int centre = static_cast<int>(std::lround(std::clamp(level, -1e6, 1e6)));
  painter.save();
  painter.setClipRect(plot);
  painter.setPen(QPen(QColor(230, 110, 0), 1));
  const bool ascending = !x->rangeReversed();
  int lastColumn = std::numeric_limits<int>::min();
  while (it != end) {
    const int column = static_cast<int>(std::lround(x->coordToPixel(*it)));
    if (column != lastColumn) {
      painter.drawLine(QLineF(column, centre - 7, column, centre + 7));
      painter.drawLine(QLineF(column - 3, centre, column + 3, centre));
      lastColumn = column;
    }
    // The next mark worth drawing lies at least one pixel column on.
    it = ascending ? std::lower_bound(it + 1, end, x->pixelToCoord(column + 0.5)) : it + 1;
  }
  painter.restore();
}

void PulsePanel::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  refresh(true);
}

void PulsePanel::hideEvent(QHideEvent* event) {
  QDockWidget::hideEvent(event);
  m_window.chart()->redrawOverlay();  // the marks go with the panel
}

}  // namespace tarvik::app
