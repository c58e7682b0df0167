#include "core/Graph.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace tarvik {
namespace {

// Every new or moved-from graph starts on this block; the first write replaces it.
const std::shared_ptr<PointBlock>& emptyBlock() {
  static const std::shared_ptr<PointBlock> block = std::make_shared<PointBlock>();
  return block;
}

bool sameBits(const PointBlock& a, const PointBlock& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

double extreme(std::span<const double> values, bool wantMax) {
  bool found = false;
  double best = 0;
  for (double v : values) {
    if (std::isnan(v)) {
      continue;
    }
    if (!found || (wantMax ? v > best : v < best)) {
      best = v;
      found = true;
    }
  }
  return best;
}

}  // namespace

Graph::Graph() : m_x(emptyBlock()), m_y(emptyBlock()) {}

Graph::Graph(Graph&& other) noexcept
    : title(std::move(other.title)),
      colour(other.colour),
      lineStyle(other.lineStyle),
      lineWidth(other.lineWidth),
      showInLegend(other.showInLegend),
      tag(other.tag),
      m_x(std::exchange(other.m_x, emptyBlock())),
      m_y(std::exchange(other.m_y, emptyBlock())),
      m_stamp(std::exchange(other.m_stamp, 0)),
      m_extent(other.m_extent),
      m_extentStamp(std::exchange(other.m_extentStamp, 0)) {}

Graph& Graph::operator=(Graph&& other) noexcept {
  if (this != &other) {
    title = std::move(other.title);
    colour = other.colour;
    lineStyle = other.lineStyle;
    lineWidth = other.lineWidth;
    showInLegend = other.showInLegend;
    tag = other.tag;
    m_x = std::exchange(other.m_x, emptyBlock());
    m_y = std::exchange(other.m_y, emptyBlock());
    m_stamp = std::exchange(other.m_stamp, 0);
    m_extent = other.m_extent;
    m_extentStamp = std::exchange(other.m_extentStamp, 0);
  }
  return *this;
}

void Graph::detach(std::shared_ptr<PointBlock>& block) {
  block = std::make_shared<PointBlock>(*block);
}

bool Graph::samePoints(const Graph& other) const {
  return (m_x == other.m_x || sameBits(*m_x, *other.m_x)) &&
         (m_y == other.m_y || sameBits(*m_y, *other.m_y));
}

bool Graph::sameAttributes(const Graph& other) const {
  return title == other.title && colour == other.colour && lineStyle == other.lineStyle &&
         lineWidth == other.lineWidth && showInLegend == other.showInLegend && tag == other.tag;
}

void Graph::shareEqualBlocks(const Graph& other) {
  if (m_x != other.m_x && sameBits(*m_x, *other.m_x)) {
    m_x = other.m_x;
  }
  if (m_y != other.m_y && sameBits(*m_y, *other.m_y)) {
    m_y = other.m_y;
  }
}

std::uint64_t Graph::pointsStamp() const {
  static std::atomic<std::uint64_t> last{0};
  if (m_stamp == 0) {
    m_stamp = last.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  return m_stamp;
}

void Graph::noteExtent(const std::optional<PointsExtent>& extent) const {
  m_extentStamp = pointsStamp();
  m_extent = extent;
}

double Graph::minX() const { return extreme(*m_x, false); }
double Graph::maxX() const { return extreme(*m_x, true); }
double Graph::minY() const { return extreme(*m_y, false); }
double Graph::maxY() const { return extreme(*m_y, true); }

void Graph::addPoint(double x, double y) {
  // Insert after the last point whose X is not greater than x: upper_bound on a sorted
  // array. Arrays whose order was broken by setX are searched from the end, which keeps
  // the "after the last such point" meaning for the ascending tail.
  PointBlock& xs = ownX();
  PointBlock& ys = ownY();
  if (xs.empty() || !(x < xs.back())) {
    xs.push_back(x);
    ys.push_back(y);
    return;
  }
  std::size_t pos = xs.size();
  while (pos > 0 && x < xs[pos - 1]) {
    --pos;
  }
  xs.insert(xs.begin() + static_cast<std::ptrdiff_t>(pos), x);
  ys.insert(ys.begin() + static_cast<std::ptrdiff_t>(pos), y);
}

void Graph::deletePoint(std::size_t i) {
  PointBlock& xs = ownX();
  PointBlock& ys = ownY();
  xs.erase(xs.begin() + static_cast<std::ptrdiff_t>(i));
  ys.erase(ys.begin() + static_cast<std::ptrdiff_t>(i));
}

void Graph::clearPoints() {
  m_stamp = 0;
  m_x = emptyBlock();
  m_y = emptyBlock();
}

void Graph::reserve(std::size_t n) {
  ownX().reserve(n);
  ownY().reserve(n);
}

void Graph::setPoints(std::vector<double> xs, std::vector<double> ys) {
  if (xs.size() != ys.size()) {
    throw std::invalid_argument("Graph::setPoints: X and Y differ in length");
  }
  m_stamp = 0;
  m_x = std::make_shared<PointBlock>(std::move(xs));
  m_y = std::make_shared<PointBlock>(std::move(ys));
}

void Graph::setPointsSharingX(const Graph& source, std::vector<double> ys) {
  if (source.m_x->size() != ys.size()) {
    throw std::invalid_argument("Graph::setPointsSharingX: X and Y differ in length");
  }
  m_stamp = 0;
  m_x = source.m_x;
  m_y = std::make_shared<PointBlock>(std::move(ys));
}

void Graph::copyPointsFrom(const Graph& source) {
  m_stamp = 0;
  m_x = source.m_x;
  m_y = source.m_y;
}

}  // namespace tarvik
