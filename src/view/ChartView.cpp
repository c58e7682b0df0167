#include "view/ChartView.h"

#include <algorithm>
#include <cmath>

#include "core/ChartAppearance.h"
#include "view/ChartArithmetic.h"
#include "view/ChartOverlay.h"
#include "view/ChartTickers.h"
#include "view/GraphPlottable.h"

namespace tarvik::view {
namespace {

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

Qt::PenStyle toPenStyle(LineStyle style) {
  switch (style) {
    case LineStyle::Dash:
      return Qt::DashLine;
    case LineStyle::Dot:
      return Qt::DotLine;
    case LineStyle::DashDot:
      return Qt::DashDotLine;
    case LineStyle::DashDotDot:
      return Qt::DashDotDotLine;
    case LineStyle::Solid:
    default:
      return Qt::SolidLine;
  }
}

char localeSeparator() {
  const QString point = QLocale().decimalPoint();
  return (point.size() == 1 && point[0].unicode() < 128) ? static_cast<char>(point[0].unicode())
                                                         : '.';
}

// Design-time caption of the bottom axis, shown until the chart has a store; from then on
// the store's caption is drawn as it is, an empty one as nothing.
const char* const kDefaultBottomTitle = "Ось X";

}  // namespace

ChartView::ChartView(QWidget* parent) : QCustomPlot(parent), m_separator(localeSeparator()) {
  setBackground(QBrush(Qt::white));
  setPlottingHint(QCP::phFastPolylines, true);
  setAutoAddPlottableToLegend(false);
  setFocusPolicy(Qt::ClickFocus);  // held keys 1 and 2 place the cursors
  setUpAxes();
  setUpLegend();
  // Title and foot stand in rows of their own above and below the plot while they have text.
  m_title = new QCPTextElement(this, QString(), QFont(QStringLiteral("Arial"), 10));
  m_title->setTextColor(Qt::blue);
  m_title->setVisible(false);
  m_foot = new QCPTextElement(this, QString(), QFont(QStringLiteral("Arial"), 10));
  m_foot->setTextColor(Qt::black);
  m_foot->setVisible(false);
  m_overlay = new ChartOverlay(this, [this](QCPPainter& painter) { drawOverlay(painter); });
  connect(this, &QCustomPlot::beforeReplot, this, [this] { applyAutoRanges(); });
  connect(this, &QCustomPlot::plottableClick, this,
          [this](QCPAbstractPlottable* plottable, int, QMouseEvent* event) {
            if (auto* graph = qobject_cast<GraphPlottable*>(plottable)) {
              emit graphClicked(static_cast<int>(graph->storeIndex()), event->modifiers());
            }
          });
  connect(this, &QCustomPlot::legendClick, this,
          [this](QCPLegend*, QCPAbstractLegendItem*, QMouseEvent* event) {
            emit legendClicked(static_cast<int>(event->position().y()));
          });
}

ChartView::~ChartView() = default;

void ChartView::setUpAxes() {
  for (QCPAxis* axis : {xAxis, yAxis}) {
    axis->setVisible(true);
    axis->setTickLengthIn(4);
    axis->setTickLengthOut(8);
    axis->setSubTickLengthIn(0);
    axis->setSubTickLengthOut(4);
    axis->grid()->setVisible(true);
    axis->grid()->setPen(QPen(Qt::black, 0, Qt::DotLine));
    axis->grid()->setSubGridVisible(false);
    axis->grid()->setZeroLinePen(Qt::NoPen);
    useTicker(axis, false);
  }
  xAxis->setLabel(QString::fromUtf8(kDefaultBottomTitle));
  // The left axis has no title of its own: the stored title is drawn above the plot.
  yAxis->setLabel(QString());
  xAxis2->setVisible(false);
  yAxis2->setVisible(false);
  axisRect()->setAutoMargins(QCP::msLeft | QCP::msBottom);
}

void ChartView::setUpLegend() {
  legend->setVisible(false);
  legend->setBorderPen(Qt::NoPen);
  legend->setBrush(QBrush(Qt::white));
  legend->setFont(QFont(QStringLiteral("Times New Roman"), 9));
  legend->setMargins(QMargins(1, 0, 1, 0));
  legend->setRowSpacing(0);
  legend->setIconTextPadding(4);
  legend->setSelectableParts(QCPLegend::spNone);
  axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignLeft | Qt::AlignTop);
}

void ChartView::useTicker(QCPAxis* axis, bool logarithmic) {
  if (logarithmic) {
    axis->setTicker(QSharedPointer<QCPAxisTicker>(new LogLabelTicker(m_separator)));
    return;
  }
  auto ticker = QSharedPointer<LabelTicker>(new LabelTicker(m_separator));
  if (axis == yAxis) {
    ticker->setStepRule([this](const QCPRange& range) {
      m_stepHeightUsed = axisRect()->height();
      return verticalLabelStep(range.lower, range.upper, false, m_stepHeightUsed, labelFontPx());
    });
  } else {
    ticker->setFixedStep(m_bottomIncrement);
  }
  axis->setTicker(ticker);
}

int ChartView::labelFontPx() const { return QFontInfo(yAxis->tickLabelFont()).pixelSize(); }

void ChartView::setStore(GraphStore* store) {
  m_gestureStep.close();  // a step belongs to the store it was opened on
  m_store = store;
  syncWithStore();
}

void ChartView::syncWithStore() {
  syncPlottables(true);
  legendRelayout();
}

void ChartView::syncPlottables(bool refreshCaches) {
  const std::size_t count = m_store ? m_store->count() : 0;
  while (m_plottables.size() < count) {
    m_plottables.push_back(new GraphPlottable(xAxis, yAxis));
  }
  while (m_plottables.size() > count) {
    removePlottable(m_plottables.back());
    m_plottables.pop_back();
  }
  for (std::size_t i = 0; i < count; ++i) {
    GraphPlottable* plottable = m_plottables[i];
    const Graph& graph = m_store->graph(i);
    plottable->setSource(m_store, i);
    if (refreshCaches) {
      plottable->refreshCache();
    }
    QPen pen(toQColor(graph.colour));
    pen.setWidth(std::clamp(graph.lineWidth, 1, 100));
    pen.setStyle(toPenStyle(graph.lineStyle));
    plottable->setPen(pen);
    plottable->setName(QString::fromStdString(legendRowText(i, graph.title)));
  }
  m_rowTops.resize(count, 0);
}

void ChartView::syncLegendRows() {
  legend->clearItems();
  const QFontMetrics metrics(legend->font());
  int widest = 0;
  for (GraphPlottable* plottable : m_plottables) {
    if (m_store->graph(plottable->storeIndex()).showInLegend) {
      plottable->addToLegend(legend);
      widest = std::max(widest, metrics.horizontalAdvance(plottable->name()));
    }
  }
  // The colour swatch is 20 % as wide as the widest row text plus 10 pixels.
  const int swatch = static_cast<int>(std::lround(0.2 * (widest + 10)));
  legend->setIconSize(std::max(swatch, 4), std::max(metrics.ascent() - 2, 4));
  legend->setVisible(legend->itemCount() > 0);
}

void ChartView::syncTexts() {
  const bool haveStore = m_store != nullptr;
  xAxis->setLabel(haveStore ? QString::fromStdString(m_store->bottomAxisTitle)
                            : QString::fromUtf8(kDefaultBottomTitle));
  xAxis2->setLabel(haveStore ? QString::fromStdString(m_store->topAxisTitle) : QString());
  yAxis2->setLabel(haveStore ? QString::fromStdString(m_store->rightAxisTitle) : QString());
  // Lines of text; an element whose lines are all empty takes no room.
  const auto joined = [](const std::vector<std::string>& source, bool& anyText) {
    QStringList lines;
    for (const std::string& line : source) {
      lines << QString::fromStdString(line);
      anyText = anyText || !line.empty();
    }
    return lines.join(QLatin1Char('\n'));
  };
  bool anyTitle = false;
  bool anyFoot = false;
  m_title->setText(haveStore ? joined(m_store->titleLines, anyTitle) : QString());
  m_foot->setText(haveStore ? joined(m_store->footLines, anyFoot) : QString());
  // The foot shows with the legend switch.
  syncTextRows(anyTitle, m_legendShown && anyFoot);
  if (haveStore) {
    m_alignment = m_store->legendRight ? LegendAlignment::Right : LegendAlignment::Left;
  }
  syncColours();
}

void ChartView::syncTextRows(bool titleShown, bool footShown) {
  const bool titleIn = m_title->layout() == plotLayout();
  const bool footIn = m_foot->layout() == plotLayout();
  if (titleIn == titleShown && footIn == footShown) {
    return;
  }
  // Rows from the top: the title, the plot, the foot.
  for (QCPTextElement* element : {m_title, m_foot}) {
    if (element->layout() == plotLayout()) {
      plotLayout()->take(element);
    }
  }
  plotLayout()->simplify();
  if (titleShown) {
    plotLayout()->insertRow(0);
    plotLayout()->addElement(0, 0, m_title);
  }
  if (footShown) {
    plotLayout()->addElement(plotLayout()->rowCount(), 0, m_foot);
  }
  m_title->setVisible(titleShown);
  m_foot->setVisible(footShown);
}

void ChartView::syncColours() {
  const Rgb panel = m_store ? m_store->background : Rgb{255, 255, 255};
  const Rgb legendFill = m_store ? m_store->legendColour : Rgb{255, 255, 255};
  setBackground(QBrush(toQColor(panel)));
  legend->setBrush(QBrush(toQColor(legendFill)));
}

QString ChartView::titleText() const { return m_title->visible() ? m_title->text() : QString(); }

QFont ChartView::elementFont(ChartTextElement element) const {
  switch (element) {
    case ChartTextElement::Title:
      return m_title->font();
    case ChartTextElement::Foot:
      return m_foot->font();
    case ChartTextElement::LeftTitle:
      return yAxis->labelFont();
    case ChartTextElement::LeftLabels:
      return yAxis->tickLabelFont();
    case ChartTextElement::BottomTitle:
      return xAxis->labelFont();
    case ChartTextElement::BottomLabels:
      return xAxis->tickLabelFont();
    case ChartTextElement::Legend:
      return legend->font();
    case ChartTextElement::TopTitle:
      return xAxis2->labelFont();
    case ChartTextElement::TopLabels:
      return xAxis2->tickLabelFont();
    case ChartTextElement::RightTitle:
      return yAxis2->labelFont();
    case ChartTextElement::RightLabels:
      return yAxis2->tickLabelFont();
  }
  return {};
}

void ChartView::setElementFont(ChartTextElement element, const QFont& font) {
  switch (element) {
    case ChartTextElement::Title:
      m_title->setFont(font);
      break;
    case ChartTextElement::Foot:
      m_foot->setFont(font);
      break;
    case ChartTextElement::LeftTitle:
      yAxis->setLabelFont(font);
      break;
    case ChartTextElement::LeftLabels:
      yAxis->setTickLabelFont(font);
      break;
    case ChartTextElement::BottomTitle:
      xAxis->setLabelFont(font);
      break;
    case ChartTextElement::BottomLabels:
      xAxis->setTickLabelFont(font);
      break;
    case ChartTextElement::Legend:
      legend->setFont(font);
      break;
    case ChartTextElement::TopTitle:
      xAxis2->setLabelFont(font);
      break;
    case ChartTextElement::TopLabels:
      xAxis2->setTickLabelFont(font);
      break;
    case ChartTextElement::RightTitle:
      yAxis2->setLabelFont(font);
      break;
    case ChartTextElement::RightLabels:
      yAxis2->setTickLabelFont(font);
      break;
  }
  legendRelayout();  // swatches, layout and the label step follow the sizes
}

void ChartView::legendRelayout() {
  syncPlottables(false);
  syncLegendRows();
  syncTexts();
  const QRect view = viewport();
  const int legendHeight = legend->visible() ? legend->minimumOuterSizeHint().height() : 0;
  const int legendWidth = legend->visible() ? legend->minimumOuterSizeHint().width() : 0;
  const int footHeight = footBoxHeight();
  // Both placements divide by the chart's size: wait for a real size.
  if (width() <= 0 || height() <= 0 || view.width() <= 0 || view.height() <= 0) {
    m_relayoutPending = true;
    return;
  }
  m_relayoutPending = false;
  // Fonts and title lines change the room the plot needs: the window's minimum follows.
  const int minimumHeight = minimumSizeHint().height();
  if (minimumHeight != m_minimumHeightSeen) {
    m_minimumHeightSeen = minimumHeight;
    updateGeometry();
  }
  m_placedRight = m_alignment == LegendAlignment::Right ||
                  legendMovesRight(view.height(), legendHeight, footHeight, heightBesidePlot());
  const std::optional<LegendLayout> layout =
      !m_placedRight ? legendLayoutLeft(view.height(), legendHeight, footHeight, m_legendShown)
                     : legendLayoutRight(view.width(), legendWidth,
                                         QFontMetrics(xAxis->labelFont()).height(), m_legendShown);
  if (layout) {
    m_legendTopPercent = layout->legendTopPercent;
    m_bottomTitleAreaPx = layout->bottomTitleAreaPx;
    m_rightMarginPercent = layout->rightMarginPercent;
  }
  replot();
}

void ChartView::setFootFont(const QFont& font) { m_foot->setFont(font); }

QFont ChartView::footFont() const { return m_foot->font(); }

int ChartView::heightBesidePlot() const {
  const int title = QFontMetrics(yAxis->labelFont()).height();
  const int top = viewport().height() * 2 / 100 + (3 * title + 1) / 2;
  const QCPLayoutElement* titleRow = m_title;
  const int titleLines = m_title->visible() ? titleRow->minimumOuterSizeHint().height() : 0;
  // Tick marks outward, their labels with their padding, the caption and its room.
  const int axis = xAxis->tickLengthOut() + QFontMetrics(xAxis->tickLabelFont()).height() +
                   xAxis->tickLabelPadding() + 2 * QFontMetrics(xAxis->labelFont()).height();
  return top + titleLines + axis;
}

QSize ChartView::minimumSizeHint() const {
  return {120, kMinPlotHeightPx + heightBesidePlot() + footBoxHeight() + 16};
}

int ChartView::footBoxHeight() const {
  const QCPLayoutElement* foot = m_foot;  // the size hint is public on the base class
  return m_foot->visible() ? foot->minimumOuterSizeHint().height() : 0;
}

void ChartView::applyAutoRanges() {
  if (m_autoX && !m_plottables.empty()) {
    xAxis->rescale(false);
  }
  if (m_autoY && !m_plottables.empty()) {
    yAxis->rescale(false);
  }
}

void ChartView::applyMargins() {
  const QRect view = viewport();
  const int titleHeight = QFontMetrics(yAxis->labelFont()).height();
  // Room above the plot for the stored Y-axis title, which stands one font height above it.
  const int top = view.height() * 2 / 100 + (3 * titleHeight + 1) / 2;
  const int right = view.width() * m_rightMarginPercent / 100;
  axisRect()->setMargins(QMargins(0, top, right, 0));
  yAxis->setPadding(std::max(view.width() / 100, 1));
  const int labelHeight = xAxis->label().isEmpty() ? 0 : QFontMetrics(xAxis->labelFont()).height();
  int padding = m_bottomTitleAreaPx - labelHeight;
  if (!m_placedRight && legend->visible()) {
    // The plot ends above the legend, whose top is a percentage of the chart's height.
    const int footHeight = footBoxHeight();
    const int legendTop = view.height() * m_legendTopPercent / 100;
    padding = std::max(m_bottomTitleAreaPx, view.height() - footHeight - legendTop + 4);
  }
  xAxis->setPadding(std::max(padding, 0));
  // About one label per 90 pixels on the X axis when the display chooses the step.
  if (auto ticker = xAxis->ticker()) {
    ticker->setTickCount(std::clamp(axisRect()->width() / 90, 2, 12));
  }
}

void ChartView::updateLayout() {
  applyMargins();
  QCustomPlot::updateLayout();
  // The vertical label step depends on the plot height, known only after a layout pass.
  if (yAxis->scaleType() == QCPAxis::stLinear && m_stepHeightUsed != axisRect()->height()) {
    QCustomPlot::updateLayout();
  }
  placeLegend();
  recordLegendRowTops();
}

void ChartView::placeLegend() {
  if (!legend->visible()) {
    return;
  }
  const QSize size = legend->minimumOuterSizeHint();
  const QRect plot = axisRect()->rect();
  const QRect view = viewport();
  QRect box;
  if (!m_placedRight) {
    box = QRect(QPoint(plot.left(), view.top() + view.height() * m_legendTopPercent / 100), size);
  } else {
    // Inside the plot at its upper right corner, over the graphs if need be.
    box = QRect(QPoint(plot.right() + 1 - size.width(), plot.top()), size);
  }
  legend->setOuterRect(box);
  legend->update(QCPLayoutElement::upLayout);
}

void ChartView::recordLegendRowTops() {
  const std::size_t count = m_store ? m_store->count() : 0;
  m_rowTops.resize(count, 0);
  if (!legend->visible()) {
    return;
  }
  for (int i = 0; i < legend->itemCount(); ++i) {
    auto* item = qobject_cast<QCPPlottableLegendItem*>(legend->item(i));
    auto* graph = item ? qobject_cast<GraphPlottable*>(item->plottable()) : nullptr;
    if (graph && graph->storeIndex() < count) {
      m_rowTops[graph->storeIndex()] = item->outerRect().top();
    }
  }
}

const std::vector<int>& ChartView::legendRowTops() const { return m_rowTops; }

int ChartView::legendGraphAt(int pixelRow) const {
  return legendRowAtClick(m_rowTops, pixelRow, m_store ? m_store->count() : 0);
}

void ChartView::drawOverlay(QCPPainter& painter) {
  m_lastPlotRect = axisRect()->rect();
  if (m_afterRepaint) {
    painter.save();
    m_afterRepaint(painter, m_lastPlotRect);
    painter.restore();
  }
  drawInteraction(painter);
  if (!m_store || m_store->yAxisTitle.empty()) {
    return;
  }
  // The stored Y-axis title, horizontal, right-aligned at max(W + 10, plot left − 3) and
  // centred one font height above the plot's top edge.
  const QString text = QString::fromStdString(m_store->yAxisTitle);
  const QFont font = yAxis->labelFont();
  const QFontMetrics metrics(font);
  const int textWidth = metrics.horizontalAdvance(text);
  const int h = metrics.height();
  const int right = viewport().left() + std::max(textWidth + 10, m_lastPlotRect.left() - 3);
  const int centreY = m_lastPlotRect.top() - h;
  painter.setFont(font);
  painter.setPen(yAxis->labelColor());
  painter.drawText(QRect(right - textWidth, centreY - h / 2, textWidth, h),
                   Qt::AlignRight | Qt::AlignVCenter, text);
}

void ChartView::setAfterRepaint(AfterRepaint hook) { m_afterRepaint = std::move(hook); }

void ChartView::redrawOverlay() { layer(QStringLiteral("overlay"))->replot(); }

void ChartView::resizeEvent(QResizeEvent* event) {
  QCustomPlot::resizeEvent(event);
  if (m_relayoutPending && width() > 0 && height() > 0) {
    legendRelayout();
  }
}

void ChartView::showEvent(QShowEvent* event) {
  QCustomPlot::showEvent(event);
  if (m_relayoutPending && width() > 0 && height() > 0) {
    legendRelayout();
  }
}

GraphPlottable* ChartView::plottableForGraph(std::size_t index) const {
  return index < m_plottables.size() ? m_plottables[index] : nullptr;
}

XRange ChartView::visibleXRange() const { return {xAxis->range().lower, xAxis->range().upper}; }

}  // namespace tarvik::view
