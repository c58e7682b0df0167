#include "io/SessionWire.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/OutputLimits.h"
#include "io/SessionHdf5.h"

namespace tarvik::session {

namespace {

enum FrameType : std::uint8_t { kOutline = 1, kPoints = 2, kDone = 3, kError = 4 };

constexpr std::size_t kFrameHead = 9;
constexpr std::size_t kMaxErrorBytes = 1 << 16;
// The fewest bytes a packed graph takes: two text lengths, a colour, four ints, a length.
constexpr std::size_t kMinGraphBytes = 8 + 8 + 3 + 4 * 4 + 8;

class Packer {
 public:
  void u64(std::uint64_t v) { raw(&v, sizeof v); }
  void i32(int v) { raw(&v, sizeof v); }
  void f64(double v) { raw(&v, sizeof v); }
  void rgb(Rgb c) {
    const unsigned char rgbBytes[3] = {c.r, c.g, c.b};
    raw(rgbBytes, 3);
  }
  void text(const std::string& s) {
    u64(s.size());
    raw(s.data(), s.size());
  }
  void texts(const std::vector<std::string>& list) {
    u64(list.size());
    for (const std::string& s : list) {
      text(s);
    }
  }
  void axis(const SessionAxis& a) {
    i32(a.automatic ? 1 : 0);
    f64(a.lower);
    f64(a.upper);
    i32(a.logarithmic ? 1 : 0);
  }
  std::vector<unsigned char> bytes;

 private:
  void raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    bytes.insert(bytes.end(), b, b + n);
  }
};

class Unpacker {
 public:
  explicit Unpacker(std::span<const unsigned char> bytes) : m_bytes(bytes) {}
  std::uint64_t u64() { return value<std::uint64_t>(); }
  int i32() { return value<int>(); }
  int i32(int lowest, int highest) {
    const int v = i32();
    if (v < lowest || v > highest) {
      throw std::out_of_range("value");
    }
    return v;
  }
  double f64() { return value<double>(); }
  Rgb rgb() {
    const std::span<const unsigned char> b = take(3);
    return Rgb{b[0], b[1], b[2]};
  }
  std::string text() {
    const std::span<const unsigned char> b = take(u64());
    return std::string(b.begin(), b.end());
  }
  std::vector<std::string> texts() {
    const std::uint64_t count = u64();
    if (count > left() / sizeof(std::uint64_t)) {  // each text takes its length at least
      throw std::out_of_range("texts");
    }
    std::vector<std::string> list;
    list.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
      list.push_back(text());
    }
    return list;
  }
  SessionAxis axis() {
    SessionAxis a;
    a.automatic = i32() != 0;
    a.lower = f64();
    a.upper = f64();
    a.logarithmic = i32() != 0;
    return a;
  }
  std::size_t left() const { return m_bytes.size() - m_at; }

 private:
  std::span<const unsigned char> take(std::uint64_t n) {
    if (n > left()) {
      throw std::out_of_range("outline");
    }
    const std::span<const unsigned char> part = m_bytes.subspan(m_at, static_cast<std::size_t>(n));
    m_at += static_cast<std::size_t>(n);
    return part;
  }
  template <class T>
  T value() {
    T v;
    std::memcpy(&v, take(sizeof v).data(), sizeof v);
    return v;
  }
  std::span<const unsigned char> m_bytes;
  std::size_t m_at = 0;
};

struct FrameHead {
  std::uint8_t type = 0;
  std::uint64_t length = 0;
};

FrameHead readHead(WireReader& wire) {
  unsigned char head[kFrameHead];
  wire.read(head, sizeof head);
  FrameHead frame;
  frame.type = head[0];
  std::memcpy(&frame.length, head + 1, sizeof frame.length);
  return frame;
}

[[noreturn]] void protocolFault(const std::string& path) {
  throw Error(damagedSessionText(path) + " (процесс чтения передал неверные данные)");
}

[[noreturn]] void throwChildError(WireReader& wire, const FrameHead& frame,
                                  const std::string& path) {
  if (frame.length < 1 || frame.length > kMaxErrorBytes) {
    protocolFault(path);
  }
  std::string payload(static_cast<std::size_t>(frame.length), '\0');
  wire.read(payload.data(), payload.size());
  const auto kind = static_cast<WireError>(payload[0]);
  std::string text = payload.substr(1);
  switch (kind) {
    case WireError::Newer:
      throw NewerSessionError(text);
    case WireError::Io:
      throw IoError(text);
    case WireError::Memory:
      throw Error(refusedSessionText(path, "недостаточно памяти"));
    case WireError::Plain:
      throw Error(text);
  }
  protocolFault(path);
}

// The next frame, which must be of type `type`, or the child's error.
FrameHead expectFrame(WireReader& wire, std::uint8_t type, const std::string& path) {
  const FrameHead frame = readHead(wire);
  if (frame.type == kError) {
    throwChildError(wire, frame, path);
  }
  if (frame.type != type) {
    protocolFault(path);
  }
  return frame;
}

std::vector<double> receivePoints(WireReader& wire, std::uint64_t count, const std::string& path) {
  const FrameHead frame = expectFrame(wire, kPoints, path);
  if (frame.length != count * sizeof(double)) {
    protocolFault(path);
  }
  std::vector<double> values = hdf5::zeroedArray(static_cast<std::size_t>(count));
  wire.read(values.data(), values.size() * sizeof(double));
  return values;
}

}  // namespace

void WireWriter::put(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  while (size > 0) {
    const ssize_t n = ::write(m_fd, p, std::min<std::size_t>(size, std::size_t{1} << 30));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      ::_exit(3);
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

void WireWriter::frame(std::uint8_t type, std::span<const unsigned char> payload) {
  unsigned char head[kFrameHead];
  head[0] = type;
  const std::uint64_t length = payload.size();
  std::memcpy(head + 1, &length, sizeof length);
  put(head, sizeof head);
  put(payload.data(), payload.size());
}

void WireWriter::done() { frame(kDone, {}); }

void WireWriter::error(WireError kind, std::string_view text) {
  std::vector<unsigned char> payload;
  payload.push_back(static_cast<unsigned char>(kind));
  const std::size_t kept = std::min(text.size(), kMaxErrorBytes - 1);
  payload.insert(payload.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(kept));
  frame(kError, payload);
}

void WireSender::outline(const Session& session, std::span<const std::uint64_t> lengths) {
  m_wire.frame(kOutline, packOutline(session, lengths));
}

void WireSender::points(std::vector<double> values) {
  m_wire.frame(kPoints, std::span(reinterpret_cast<const unsigned char*>(values.data()),
                                  values.size() * sizeof(double)));
}

void WireReader::read(void* bytes, std::size_t size) {
  auto* p = static_cast<unsigned char*>(bytes);
  while (size > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      throw WireBroken(true);
    }
    pollfd watch{m_fd, POLLIN, 0};
    const int ready = ::poll(&watch, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) {
      throw WireBroken(false);
    }
    if (ready <= 0) {
      continue;
    }
    const ssize_t n = ::read(m_fd, p, std::min<std::size_t>(size, std::size_t{1} << 30));
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
      continue;
    }
    if (n <= 0) {
      throw WireBroken(false);
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

std::vector<unsigned char> packOutline(const Session& session,
                                       std::span<const std::uint64_t> lengths) {
  Packer p;
  const DocumentState& d = session.document;
  const DocumentTexts& t = d.texts;
  p.i32(d.active);
  p.i32(d.unnamedCounter);
  p.text(t.bottomAxisTitle);
  p.text(t.yAxisTitle);
  p.text(t.topAxisTitle);
  p.text(t.rightAxisTitle);
  p.texts(t.footLines);
  p.texts(t.titleLines);
  for (int angle : {t.leftTitleAngle, t.rightTitleAngle, t.topTitleAngle, t.bottomTitleAngle}) {
    p.i32(angle);
  }
  p.rgb(t.background);
  p.rgb(t.legendColour);
  p.i32(t.legendRight ? 1 : 0);
  p.axis(session.view.bottom);
  p.axis(session.view.left);
  p.u64(session.view.fonts.size());
  for (const SessionFont& font : session.view.fonts) {
    p.text(font.family);
    p.i32(font.size);
  }
  p.u64(d.graphs.size());
  for (std::size_t i = 0; i < d.graphs.size(); ++i) {
    const Graph& g = d.graphs[i];
    p.text(g.title);
    p.text(i < d.sourceFiles.size() ? d.sourceFiles[i] : std::string());
    p.rgb(g.colour);
    p.i32(static_cast<int>(g.lineStyle));
    p.i32(g.lineWidth);
    p.i32(g.showInLegend ? 1 : 0);
    p.i32(g.tag);
    p.u64(lengths[i]);
  }
  return std::move(p.bytes);
}

Session unpackOutline(std::span<const unsigned char> bytes, std::vector<std::uint64_t>& lengths) {
  Unpacker u(bytes);
  Session session;
  DocumentState& d = session.document;
  DocumentTexts& t = d.texts;
  d.active = u.i32();
  d.unnamedCounter = u.i32();
  t.bottomAxisTitle = u.text();
  t.yAxisTitle = u.text();
  t.topAxisTitle = u.text();
  t.rightAxisTitle = u.text();
  t.footLines = u.texts();
  t.titleLines = u.texts();
  t.leftTitleAngle = u.i32();
  t.rightTitleAngle = u.i32();
  t.topTitleAngle = u.i32();
  t.bottomTitleAngle = u.i32();
  t.background = u.rgb();
  t.legendColour = u.rgb();
  t.legendRight = u.i32() != 0;
  session.view.bottom = u.axis();
  session.view.left = u.axis();
  const std::uint64_t fonts = u.u64();
  if (fonts > u.left() / 12) {
    throw std::out_of_range("fonts");
  }
  for (std::uint64_t i = 0; i < fonts; ++i) {
    SessionFont font;
    font.family = u.text();
    font.size = u.i32();
    session.view.fonts.push_back(std::move(font));
  }
  const std::uint64_t count = u.u64();
  if (count > static_cast<std::uint64_t>(kMaxGraphs) || count > u.left() / kMinGraphBytes) {
    throw std::out_of_range("graphs");
  }
  if (d.active < -1 || d.active >= static_cast<long long>(count)) {
    throw std::out_of_range("active");
  }
  for (std::uint64_t i = 0; i < count; ++i) {
    Graph g;
    g.title = u.text();
    d.sourceFiles.push_back(u.text());
    g.colour = u.rgb();
    g.lineStyle = static_cast<LineStyle>(u.i32(0, static_cast<int>(LineStyle::DashDotDot)));
    g.lineWidth = u.i32(0, kMaxLineWidth);
    g.showInLegend = u.i32() != 0;
    g.tag = u.i32();
    lengths.push_back(u.u64());
    d.graphs.push_back(std::move(g));
  }
  if (u.left() != 0) {
    throw std::out_of_range("outline");
  }
  return session;
}

Session receiveSession(WireReader& wire, const std::string& path) {
  const FrameHead head = expectFrame(wire, kOutline, path);
  // The outline's texts come from the file's attributes and its other fields are a few
  // bytes per graph, of which the file holds far more.
  if (head.length > wire.fileBytes() + (std::uint64_t{1} << 20)) {
    protocolFault(path);
  }
  std::vector<unsigned char> bytes(static_cast<std::size_t>(head.length));
  wire.read(bytes.data(), bytes.size());
  std::vector<std::uint64_t> lengths;
  Session session;
  try {
    session = unpackOutline(bytes, lengths);
  } catch (const std::out_of_range&) {
    protocolFault(path);
  }
  if (std::string cause = sizeRefusal(lengths); !cause.empty()) {
    throw Error(refusedSessionText(path, cause));
  }
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    std::vector<double> xs = receivePoints(wire, lengths[i], path);
    std::vector<double> ys = receivePoints(wire, lengths[i], path);
    session.document.graphs[i].setPoints(std::move(xs), std::move(ys));
  }
  expectFrame(wire, kDone, path);
  return session;
}

}  // namespace tarvik::session
