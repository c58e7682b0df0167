// Session files in HDF5. The layout (docs/session-format.md):
//   /                      attributes: format, format_version, graph_count, active_index,
//                          unnamed_counter, the chart texts and the view
//   /graphs/000, 001, ...  one group per graph in store order: datasets x and y (float64,
//                          chunked, Fletcher32), attributes title, source_file, colour,
//                          line_style, line_width, show_in_legend, tag
// The file is written in the HDF5 1.10 object format, whose metadata (superblock, object
// headers, chunk indices) carries checksums of its own, so a damaged header is caught as
// surely as a damaged point array. Texts are fixed-length strings inside the attributes
// for the same reason (variable-length ones would sit in a heap without a checksum).
#include "io/SessionFile.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "core/Error.h"
#include "io/AtomicFile.h"
#include "io/SessionHdf5.h"

namespace tarvik {

namespace {

namespace fs = std::filesystem;
using hdf5::Handle;

constexpr const char* kFormatName = "tarvik session";
constexpr int kMaxGraphs = 1'000'000;
constexpr int kMaxLineWidth = 1000;
constexpr std::size_t kMaxTextLines = 100'000;

std::string graphName(std::size_t index) {
  std::array<char, 24> name{};
  std::snprintf(name.data(), name.size(), "%03zu", index);
  return name.data();
}

std::array<std::uint8_t, 3> rgbBytes(Rgb colour) { return {colour.r, colour.g, colour.b}; }

Rgb rgbOf(const std::vector<std::uint8_t>& bytes) { return Rgb{bytes[0], bytes[1], bytes[2]}; }

// --- Writing ---

void writeAxis(hid_t root, const char* prefix, const SessionAxis& axis) {
  const std::string name(prefix);
  const std::array<double, 2> range{axis.lower, axis.upper};
  hdf5::writeDoubles(root, (name + "_range").c_str(), range);
  hdf5::writeInt(root, (name + "_automatic").c_str(), axis.automatic ? 1 : 0);
  hdf5::writeInt(root, (name + "_log").c_str(), axis.logarithmic ? 1 : 0);
}

void writeRoot(hid_t root, const DocumentState& document, const SessionView& view) {
  const DocumentTexts& t = document.texts;
  hdf5::writeString(root, "format", kFormatName);
  hdf5::writeInt(root, "format_version", kSessionFormatVersion);
  hdf5::writeInt(root, "graph_count", static_cast<int>(document.graphs.size()));
  hdf5::writeInt(root, "active_index", document.active);
  hdf5::writeInt(root, "unnamed_counter", document.unnamedCounter);
  hdf5::writeString(root, "bottom_axis_title", t.bottomAxisTitle);
  hdf5::writeString(root, "y_axis_title", t.yAxisTitle);
  hdf5::writeString(root, "top_axis_title", t.topAxisTitle);
  hdf5::writeString(root, "right_axis_title", t.rightAxisTitle);
  hdf5::writeStrings(root, "foot_lines", t.footLines);
  hdf5::writeStrings(root, "title_lines", t.titleLines);
  const std::array<int, 4> angles{t.leftTitleAngle, t.rightTitleAngle, t.topTitleAngle,
                                  t.bottomTitleAngle};
  hdf5::writeInts(root, "title_angles", angles);
  hdf5::writeBytes(root, "background", rgbBytes(t.background));
  hdf5::writeBytes(root, "legend_colour", rgbBytes(t.legendColour));
  hdf5::writeInt(root, "legend_right", t.legendRight ? 1 : 0);
  writeAxis(root, "view_bottom", view.bottom);
  writeAxis(root, "view_left", view.left);
  std::vector<std::string> families;
  std::vector<int> sizes;
  for (const SessionFont& font : view.fonts) {
    families.push_back(font.family);
    sizes.push_back(font.size);
  }
  hdf5::writeStrings(root, "view_font_families", families);
  hdf5::writeInts(root, "view_font_sizes", sizes);
}

void writeGraph(hid_t graphs, std::size_t index, const Graph& graph, const std::string& sourceFile,
                const hdf5::PointDatasetOptions& points) {
  const std::string name = graphName(index);
  Handle group(H5Gcreate2(graphs, name.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose,
               name);
  hdf5::writePoints(group.get(), "x", graph.xs(), points);
  hdf5::writePoints(group.get(), "y", graph.ys(), points);
  hdf5::writeString(group.get(), "title", graph.title);
  hdf5::writeString(group.get(), "source_file", sourceFile);
  hdf5::writeBytes(group.get(), "colour", rgbBytes(graph.colour));
  hdf5::writeInt(group.get(), "line_style", static_cast<int>(graph.lineStyle));
  hdf5::writeInt(group.get(), "line_width", graph.lineWidth);
  hdf5::writeInt(group.get(), "show_in_legend", graph.showInLegend ? 1 : 0);
  hdf5::writeInt(group.get(), "tag", graph.tag);
}

Handle fileAccess() {
  Handle access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose, "file access");
  if (H5Pset_libver_bounds(access.get(), H5F_LIBVER_V110, H5F_LIBVER_V110) < 0) {
    throw hdf5::Hdf5Fault("file access");
  }
  return access;
}

// Writes the whole HDF5 file at `tempPath`, which must not exist yet.
void writeHdf5(const std::string& tempPath, const DocumentState& document, const SessionView& view,
               const SessionWriteOptions& options) {
  const auto lock = hdf5::libraryLock();
  Handle access = fileAccess();
  Handle file(H5Fcreate(tempPath.c_str(), H5F_ACC_EXCL, H5P_DEFAULT, access.get()), H5Fclose,
              tempPath);
  writeRoot(file.get(), document, view);
  {
    Handle graphs(H5Gcreate2(file.get(), "graphs", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose,
                  "graphs");
    const hdf5::PointDatasetOptions points{options.deflateLevel};
    for (std::size_t i = 0; i < document.graphs.size(); ++i) {
      const std::string& entry = i < document.sourceFiles.size() ? document.sourceFiles[i] : "";
      writeGraph(graphs.get(), i, document.graphs[i], entry, points);
    }
  }
  if (!file.reset()) {  // the library writes what it still holds as it closes
    throw hdf5::Hdf5Fault(tempPath);
  }
}

// --- Reading ---

SessionAxis readAxis(hid_t root, const char* prefix) {
  const std::string name(prefix);
  const std::vector<double> range = hdf5::readDoubles(root, (name + "_range").c_str(), 2);
  SessionAxis axis;
  axis.lower = range[0];
  axis.upper = range[1];
  axis.automatic = hdf5::readInt(root, (name + "_automatic").c_str()) != 0;
  axis.logarithmic = hdf5::readInt(root, (name + "_log").c_str()) != 0;
  return axis;
}

SessionView readView(hid_t root) {
  SessionView view;
  view.bottom = readAxis(root, "view_bottom");
  view.left = readAxis(root, "view_left");
  const std::vector<std::string> families =
      hdf5::readStrings(root, "view_font_families", kMaxTextLines);
  if (!families.empty()) {
    const std::vector<int> sizes = hdf5::readInts(root, "view_font_sizes", families.size());
    for (std::size_t i = 0; i < families.size(); ++i) {
      view.fonts.push_back(SessionFont{families[i], sizes[i]});
    }
  }
  return view;
}

void readTexts(hid_t root, DocumentTexts& t) {
  t.bottomAxisTitle = hdf5::readString(root, "bottom_axis_title");
  t.yAxisTitle = hdf5::readString(root, "y_axis_title");
  t.topAxisTitle = hdf5::readString(root, "top_axis_title");
  t.rightAxisTitle = hdf5::readString(root, "right_axis_title");
  t.footLines = hdf5::readStrings(root, "foot_lines", kMaxTextLines);
  t.titleLines = hdf5::readStrings(root, "title_lines", kMaxTextLines);
  const std::vector<int> angles = hdf5::readInts(root, "title_angles", 4);
  t.leftTitleAngle = angles[0];
  t.rightTitleAngle = angles[1];
  t.topTitleAngle = angles[2];
  t.bottomTitleAngle = angles[3];
  t.background = rgbOf(hdf5::readBytes(root, "background", 3));
  t.legendColour = rgbOf(hdf5::readBytes(root, "legend_colour", 3));
  t.legendRight = hdf5::readInt(root, "legend_right") != 0;
}

int readBounded(hid_t object, const char* name, int lowest, int highest) {
  const int value = hdf5::readInt(object, name);
  if (value < lowest || value > highest) {
    throw hdf5::Hdf5Fault(name);
  }
  return value;
}

Graph readGraph(hid_t graphs, std::size_t index, std::string& sourceFile,
                std::uintmax_t fileBytes) {
  const std::string name = graphName(index);
  try {
    Handle group(H5Gopen2(graphs, name.c_str(), H5P_DEFAULT), H5Gclose, name);
    std::vector<double> xs = hdf5::readPoints(group.get(), "x", fileBytes);
    std::vector<double> ys = hdf5::readPoints(group.get(), "y", fileBytes);
    if (xs.size() != ys.size()) {
      throw hdf5::Hdf5Fault("y");
    }
    Graph graph;
    graph.setPoints(std::move(xs), std::move(ys));
    graph.title = hdf5::readString(group.get(), "title");
    sourceFile = hdf5::readString(group.get(), "source_file");
    graph.colour = rgbOf(hdf5::readBytes(group.get(), "colour", 3));
    graph.lineStyle = static_cast<LineStyle>(
        readBounded(group.get(), "line_style", 0, static_cast<int>(LineStyle::DashDotDot)));
    graph.lineWidth = readBounded(group.get(), "line_width", 0, kMaxLineWidth);
    graph.showInLegend = hdf5::readInt(group.get(), "show_in_legend") != 0;
    graph.tag = hdf5::readInt(group.get(), "tag");
    return graph;
  } catch (const hdf5::Hdf5Fault& fault) {
    throw hdf5::Hdf5Fault("graphs/" + name + "/" + fault.what());
  }
}

DocumentState readDocument(hid_t root, std::uintmax_t fileBytes) {
  DocumentState document;
  const int count = readBounded(root, "graph_count", 0, kMaxGraphs);
  document.active = readBounded(root, "active_index", -1, count - 1);
  document.unnamedCounter = hdf5::readInt(root, "unnamed_counter");
  readTexts(root, document.texts);
  Handle graphs(H5Gopen2(root, "graphs", H5P_DEFAULT), H5Gclose, "graphs");
  H5G_info_t info{};
  if (H5Gget_info(graphs.get(), &info) < 0 || info.nlinks != static_cast<hsize_t>(count)) {
    throw hdf5::Hdf5Fault("graphs");
  }
  const auto n = static_cast<std::size_t>(count);
  document.graphs.reserve(n);
  document.sourceFiles.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    document.graphs.push_back(readGraph(graphs.get(), i, document.sourceFiles[i], fileBytes));
  }
  return document;
}

// Opens the file and tells apart a file that is not HDF5 at all, or not ours, from one
// that is damaged.
Handle openSessionFile(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    throw IoError(fs::exists(path, ec) ? notASessionText(path) : sessionNotFoundText(path));
  }
  const htri_t isHdf5 = H5Fis_hdf5(path.c_str());
  if (isHdf5 == 0) {
    throw Error(notASessionText(path));
  }
  if (isHdf5 < 0) {
    throw IoError("Невозможно открыть файл:" + path);
  }
  Handle access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose, "file access");
  // Closing the file closes whatever the library left open inside it on a damaged object,
  // so no read, however it ends, keeps the file or its objects in memory.
  hdf5::check(H5Pset_fclose_degree(access.get(), H5F_CLOSE_STRONG), "file access");
  const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, access.get());
  if (file < 0) {
    throw Error(damagedSessionText(path));
  }
  Handle handle(file, H5Fclose, path);
  if (!hdf5::hasAttribute(file, "format") || !hdf5::hasAttribute(file, "format_version")) {
    throw Error(notASessionText(path));
  }
  return handle;
}

}  // namespace

std::string sessionNotFoundText(const std::string& path) {
  return "Файл " + path + "\nне найден !!!";
}

std::string notASessionText(const std::string& path) {
  return "Файл " + path + " не является файлом сеанса";
}

std::string damagedSessionText(const std::string& path) {
  return "Файл сеанса " + path + " повреждён";
}

std::string newerSessionText(const std::string& path) {
  return "Файл сеанса " + path + " записан более новой версией программы";
}

void writeSession(const std::string& path, const DocumentState& document, const SessionView& view) {
  writeSession(path, document, view, SessionWriteOptions{});
}

void writeSession(const std::string& path, const DocumentState& document, const SessionView& view,
                  const SessionWriteOptions& options) {
  replaceFileWith(
      path, [&](const std::string& temp) { writeHdf5(temp, document, view, options); },
      options.flushToDisk);
}

Session readSession(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t fileBytes = fs::file_size(path, ec);
  const auto lock = hdf5::libraryLock();
  Handle file = openSessionFile(path);
  Session session;
  try {
    if (hdf5::readString(file.get(), "format") != kFormatName) {
      throw Error(notASessionText(path));
    }
    const int version = hdf5::readInt(file.get(), "format_version");
    if (version > kSessionFormatVersion) {
      throw Error(newerSessionText(path));
    }
    if (version < 1) {
      throw hdf5::Hdf5Fault("format_version");
    }
    session.document = readDocument(file.get(), ec ? 0 : fileBytes);
    session.view = readView(file.get());
  } catch (const hdf5::Hdf5Fault& fault) {
    throw Error(damagedSessionText(path) + " (" + fault.what() + ")");
  }
  return session;
}

}  // namespace tarvik
