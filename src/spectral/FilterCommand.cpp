// The filter command: its fields, the uniform-sampling rule and the run of each kind.
#include "spectral/FilterCommand.h"

#include <cmath>
#include <utility>

#include "core/NumberFormat.h"
#include "core/OutputLimits.h"
#include "core/Palette.h"
#include "spectral/FirFilter.h"
#include "spectral/MedianFilter.h"
#include "spectral/SavitzkyGolay.h"
#include "spectral/SosFilter.h"
#include "spectral/SpectralOptions.h"

namespace tarvik::spectral {
namespace {

constexpr double kHzPerUnit[4] = {1, 1e3, 1e6, 1e9};

std::string quoted(const std::string& title) { return "\"" + title + "\""; }

bool readNumber(const std::string& text, char sep, double& value) {
  const auto parsed = parseTypedNumber(text, sep);
  if (!parsed || !std::isfinite(*parsed)) {
    return false;
  }
  value = *parsed;
  return true;
}

bool readInteger(const std::string& text, long long low, long long high, long long& value) {
  const auto parsed = parseTypedInteger(text);
  if (!parsed || *parsed < low || *parsed > high) {
    return false;
  }
  value = *parsed;
  return true;
}

bool isIir(FilterKind kind) {
  return kind == FilterKind::Butterworth || kind == FilterKind::Bessel ||
         kind == FilterKind::Chebyshev1 || kind == FilterKind::Chebyshev2;
}

bool isBand(BandType type) { return type == BandType::Bandpass || type == BandType::Bandstop; }

// y at t on ascending X by linear interpolation, the interval found searching forward from j.
double interpolate(std::span<const double> xs, std::span<const double> ys, double t,
                   std::size_t& j) {
  const std::size_t last = xs.size() - 1;
  while (j + 1 < last && xs[j + 1] < t) {
    ++j;
  }
  const double x0 = xs[j], x1 = xs[j + 1];
  if (!(x1 > x0)) {
    return ys[j];
  }
  const double f = (t - x0) / (x1 - x0);
  return ys[j] + (ys[j + 1] - ys[j]) * f;
}

}  // namespace

bool readFilterSettings(const FilterOptions& o, char sep, FilterSettings& s, std::string& error) {
  const auto fail = [&](const std::string& text) {
    error = "Фильтр: " + text;
    return false;
  };
  if (o.kind < 0 || o.kind > 6) return fail("неизвестный вид фильтра (kind=)");
  s.kind = static_cast<FilterKind>(o.kind);
  if (o.type < 0 || o.type > 3) return fail("неизвестный тип полосы (type=)");
  s.type = static_cast<BandType>(o.type);
  if (o.phase < 0 || o.phase > 1) return fail("неизвестная фаза (phase=)");
  s.phase = static_cast<FilterPhase>(o.phase);
  if (o.window < 0 || o.window > 3) return fail("неизвестное окно (window=)");
  s.window = static_cast<FirWindow>(o.window);
  if (o.freqUnit < 0 || o.freqUnit > 3) return fail("неизвестная единица частоты (freq=)");
  if (o.timeUnit < 0 || o.timeUnit > 3) return fail("неизвестная единица времени (time=)");
  s.secondsPerX = timeUnitSeconds(o.timeUnit);
  long long integer = 0;
  if (isIir(s.kind) || s.kind == FilterKind::Fir) {
    if (o.cutoff.empty()) return fail("частота среза (cutoff=) не задана");
    double cutoff = 0;
    if (!readNumber(o.cutoff, sep, cutoff) || !(cutoff > 0)) {
      return fail("частота среза (cutoff=) должна быть положительным числом, а не \"" + o.cutoff + "\"");
    }
    s.cutoffHz = cutoff * kHzPerUnit[o.freqUnit];
    if (isBand(s.type)) {
      if (o.cutoff2.empty()) return fail("вторая частота среза (cutoff2=) не задана");
      double cutoff2 = 0;
      if (!readNumber(o.cutoff2, sep, cutoff2) || !(cutoff2 > cutoff)) {
        return fail("вторая частота среза (cutoff2=) должна быть числом больше первой (cutoff=), а не \"" +
                    o.cutoff2 + "\"");
      }
      s.cutoff2Hz = cutoff2 * kHzPerUnit[o.freqUnit];
    }
  }
  if (isIir(s.kind)) {
    if (!readInteger(o.order, 1, kMaxIirOrder, integer)) {
      return fail("порядок (order=) должен быть целым от 1 до 16, а не \"" + o.order + "\"");
    }
    s.order = static_cast<int>(integer);
    if (s.kind == FilterKind::Chebyshev1 &&
        (!readNumber(o.ripple, sep, s.rippleDb) || !(s.rippleDb > 0))) {
      return fail("пульсации (ripple=) должны быть больше 0 дБ, а не \"" + o.ripple + "\"");
    }
    if (s.kind == FilterKind::Chebyshev2 &&
        (!readNumber(o.attenuation, sep, s.attenuationDb) || !(s.attenuationDb > 0))) {
      return fail("затухание (attenuation=) должно быть больше 0 дБ, а не \"" + o.attenuation + "\"");
    }
  }
  if (s.kind == FilterKind::Fir) {
    if (!readInteger(o.taps, kMinTaps, kMaxTaps, integer) || integer % 2 == 0) {
      return fail("число отводов (taps=) должно быть нечётным от 3 до 100001, а не \"" + o.taps + "\"");
    }
    s.taps = static_cast<std::size_t>(integer);
    if (s.window == FirWindow::Kaiser &&
        (!readNumber(o.beta, sep, s.beta) || !(s.beta >= 0 && s.beta <= kMaxKaiserBeta))) {
      return fail("параметр окна Кайзера (beta=) должен быть от 0 до 700, а не \"" + o.beta + "\"");
    }
  }
  if (s.kind == FilterKind::Median || s.kind == FilterKind::SavitzkyGolay) {
    if (!readInteger(o.width, 3, kMaxFilterWidth, integer) || integer % 2 == 0) {
      return fail("ширина окна (width=) должна быть нечётной от 3 до 100001, а не \"" + o.width + "\"");
    }
    s.width = static_cast<std::size_t>(integer);
  }
  if (s.kind == FilterKind::SavitzkyGolay) {
    if (!readInteger(o.polyorder, 0, static_cast<long long>(s.width) - 1, integer)) {
      return fail("степень полинома (polyorder=) должна быть целой от 0 до ширины окна − 1, а не \"" +
                  o.polyorder + "\"");
    }
    s.polyorder = static_cast<std::size_t>(integer);
  }
  return true;
}

bool uniformRecord(const Graph& graph, UniformRecord& record, std::string& error) {
  const std::size_t n = graph.size();
  const std::string name = "График " + quoted(graph.title);
  if (n < 2) {
    error = name + ": меньше двух точек, фильтр не применяется";
    return false;
  }
  const std::span<const double> xs = graph.xs(), ys = graph.ys();
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) {
      error = name + ": в точке " + std::to_string(i + 1) + " не число, фильтр не применяется";
      return false;
    }
  }
  const double dt = (xs[n - 1] - xs[0]) / static_cast<double>(n - 1);
  if (!(dt != 0) || !std::isfinite(dt)) {
    error = name + ": X первой и последней точек совпадают, фильтр не применяется";
    return false;
  }
  record.step = dt;
  bool uniform = true;
  for (std::size_t i = 0; i + 1 < n && uniform; ++i) {
    uniform = std::fabs((xs[i + 1] - xs[i]) - dt) <= 0.01 * std::fabs(dt);
  }
  if (uniform) {
    record.xs.assign(xs.begin(), xs.end());
    record.ys.assign(ys.begin(), ys.end());
    record.resampled = false;
    return true;
  }
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (xs[i + 1] < xs[i]) {
      error = name + ": шаг неравномерный, а X не возрастает — пересчёт на равномерный шаг невозможен";
      return false;
    }
  }
  record.xs.resize(n);
  record.ys.resize(n);
  std::size_t j = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i + 1 == n ? xs[n - 1] : xs[0] + static_cast<double>(i) * dt;
    record.xs[i] = t;
    record.ys[i] = interpolate(xs, ys, t, j);
  }
  record.resampled = true;
  return true;
}

bool filterRecord(const FilterSettings& s, const UniformRecord& record, std::vector<double>& out,
                  std::string& error) {
  const std::size_t n = record.ys.size();
  const double fs = 1 / (std::fabs(record.step) * s.secondsPerX);
  double edge1 = 0, edge2 = 0;
  if (isIir(s.kind) || s.kind == FilterKind::Fir) {
    edge1 = 2 * s.cutoffHz / fs;
    edge2 = isBand(s.type) ? 2 * s.cutoff2Hz / fs : 0.0;
    const double highest = isBand(s.type) ? edge2 : edge1;
    if (!(highest < 1)) {
      error = std::string("Фильтр: ") + (isBand(s.type) ? "вторая частота среза (cutoff2=)" : "частота среза (cutoff=)") +
              " должна быть меньше частоты Найквиста " + formatGeneral(fs / 2, 15, '.') + " Гц";
      return false;
    }
  }
  if (isIir(s.kind)) {
    IirDesignRequest request;
    request.kind = static_cast<IirKind>(static_cast<int>(s.kind));
    request.type = s.type;
    request.order = s.order;
    request.edge1 = edge1;
    request.edge2 = edge2;
    request.rippleDb = s.rippleDb;
    request.attenuationDb = s.attenuationDb;
    const Sections sections = designIir(request);
    if (!sectionsStable(sections)) {
      error = "Фильтр: полюс на единичной окружности или вне её — фильтр неустойчив";
      return false;
    }
    if (s.phase == FilterPhase::Causal) {
      out = filterCausal(sections, record.ys);
      return true;
    }
    const std::size_t pad = zeroPhasePadding(sections);
    if (n <= pad) {
      error = "Фильтр: для нулевой фазы (phase=zero) в графике должно быть больше " +
              std::to_string(pad) + " точек, а их " + std::to_string(n);
      return false;
    }
    out = filterZeroPhase(sections, record.ys);
    return true;
  }
  switch (s.kind) {
    case FilterKind::Fir: {
      if (s.taps > n) {
        error = "Фильтр: число отводов (taps=) " + std::to_string(s.taps) + " больше числа точек " +
                std::to_string(n);
        return false;
      }
      const std::vector<double> h = designFir(s.taps, s.type, edge1, edge2, s.window, s.beta);
      out = convolveCentred(record.ys, h);
      return true;
    }
    case FilterKind::Median:
      out = medianFilter(record.ys, s.width);
      return true;
    case FilterKind::SavitzkyGolay:
      if (s.width > n) {
        error = "Фильтр: ширина окна (width=) " + std::to_string(s.width) + " больше числа точек " +
                std::to_string(n);
        return false;
      }
      out = savitzkyGolayFilter(record.ys, s.width, s.polyorder);
      return true;
    default:
      break;
  }
  error = "Фильтр: неизвестный вид фильтра (kind=)";
  return false;
}

FilterOutcome filterCommand(CommandContext& ctx) {
  GraphStore& store = ctx.store;
  const auto chosen = pickCandidateGraphs(ctx, kFilterCaption);
  if (!chosen) {
    return FilterOutcome::Cancelled;
  }
  FilterOptions options;
  if (!ctx.ui.editOptions(options)) {
    return FilterOutcome::Cancelled;
  }
  FilterSettings settings;
  std::string error;
  if (!readFilterSettings(options, ctx.ui.decimalSeparator(), settings, error)) {
    ctx.ui.message(MessageKind::Error, error);
    return FilterOutcome::Refused;
  }
  // Every graph is filtered before anything is appended, so a refusal appends nothing.
  struct Result {
    std::string title;
    std::vector<double> xs, ys;
  };
  std::vector<Result> results;
  std::vector<std::string> notes;
  for (std::size_t index : *chosen) {
    const Graph& graph = store.graph(index);
    UniformRecord record;
    std::vector<double> out;
    if (!uniformRecord(graph, record, error) || !filterRecord(settings, record, out, error)) {
      if (error.rfind("Фильтр: ", 0) == 0) {
        error += " (график " + quoted(graph.title) + ")";
      }
      ctx.ui.message(MessageKind::Error, error);
      return FilterOutcome::Refused;
    }
    if (record.resampled) {
      notes.push_back("График " + quoted(graph.title) +
                      " имеет неравномерный шаг по X: перед фильтрацией он пересчитан линейно на " +
                      std::to_string(record.xs.size()) + " точек с шагом " +
                      formatGeneral(record.step, 15, ctx.ui.decimalSeparator()));
    }
    results.push_back({kFilterTitlePrefix + graph.title, std::move(record.xs), std::move(out)});
  }
  for (const std::string& note : notes) {
    ctx.ui.message(MessageKind::Info, note);
  }
  keepStoreOnMemoryShortage(store, [&] {
    for (Result& r : results) {
      Graph graph;
      graph.colour = newGraphColour(store.count());
      graph.title = std::move(r.title);
      graph.setPoints(std::move(r.xs), std::move(r.ys));
      store.attachGraph(std::move(graph), store.takeUnnamedEntry());
    }
  });
  store.chart().legendRelayout();
  store.chart().redraw();
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
  return FilterOutcome::Applied;
}

}  // namespace tarvik::spectral
