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
#include "io/SessionRead.h"

namespace tarvik {

namespace {

namespace fs = std::filesystem;
using hdf5::Handle;

std::array<std::uint8_t, 3> rgbBytes(Rgb colour) { return {colour.r, colour.g, colour.b}; }

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
  hdf5::writeString(root, "format", session::kFormatName);
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
  const std::string name = session::graphName(index);
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

// Writes the whole HDF5 file at `tempPath`, an empty new file or a name not yet taken.
void writeHdf5(const std::string& tempPath, const DocumentState& document, const SessionView& view,
               const SessionWriteOptions& options) {
  const auto lock = hdf5::libraryLock();
  Handle access = fileAccess();
  Handle file(H5Fcreate(tempPath.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.get()), H5Fclose,
              tempPath);
  session::writeObjects(file.get(), document, view, options);
  if (!file.reset()) {  // the library writes what it still holds as it closes
    throw hdf5::Hdf5Fault(tempPath);
  }
}

}  // namespace

void session::writeObjects(hid_t file, const DocumentState& document, const SessionView& view,
                           const SessionWriteOptions& options) {
  writeRoot(file, document, view);
  Handle graphs(H5Gcreate2(file, "graphs", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose,
                "graphs");
  const hdf5::PointDatasetOptions points{options.deflateLevel};
  for (std::size_t i = 0; i < document.graphs.size(); ++i) {
    const std::string& entry = i < document.sourceFiles.size() ? document.sourceFiles[i] : "";
    writeGraph(graphs.get(), i, document.graphs[i], entry, points);
  }
}

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

std::string oldestFormatText(const std::string& path, unsigned superblockVersion) {
  return notASessionText(path) + " (формат HDF5 с суперблоком версии " +
         std::to_string(superblockVersion) +
         ", без контрольных сумм; программа читает только свой формат)";
}

std::string refusedSessionText(const std::string& path, const std::string& cause) {
  return "Невозможно открыть сеанс " + path + ": " + cause;
}

void writeSession(const std::string& path, const DocumentState& document, const SessionView& view) {
  writeSession(path, document, view, SessionWriteOptions{});
}

void writeSession(const std::string& path, const DocumentState& document, const SessionView& view,
                  const SessionWriteOptions& options) {
  // What the reader would refuse is not written: a session must open again.
  std::vector<std::uint64_t> lengths;
  for (const Graph& graph : document.graphs) {
    lengths.push_back(graph.size());
  }
  if (std::string cause = session::sizeRefusal(lengths); !cause.empty()) {
    throw IoError(cannotWriteText(path) + "\n" + cause);
  }
  replaceFileWith(
      path, [&](const std::string& temp) { writeHdf5(temp, document, view, options); },
      options.flushToDisk);
}

}  // namespace tarvik
