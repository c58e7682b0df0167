// The checks of a session before its points are read, and the reading itself.
//
// A session is refused for its layout before any data is read when it is not what the
// program writes: an HDF5 file of the oldest format (superblock 0 or 1, whose metadata has
// no checksums), links that are not hard links inside the file, point arrays whose raw data
// lies in other files, virtual datasets, filters other than shuffle, deflate and the
// checksum. Sizes are bounded as a sum over all graphs, so one array named by many hard
// links counts once for each.
#include "io/SessionRead.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

#include "core/OutputLimits.h"
#include "io/SessionHdf5.h"

namespace tarvik::session {

namespace {

using hdf5::Handle;

constexpr std::size_t kMaxTextLines = 100'000;

Rgb rgbOf(const std::vector<std::uint8_t>& bytes) { return Rgb{bytes[0], bytes[1], bytes[2]}; }

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

// Runs `work` on the objects of graph group `name`, naming the group in any fault.
template <class Work>
auto inGraph(const std::string& name, Work&& work) {
  try {
    return work();
  } catch (const hdf5::LayoutFault& fault) {
    throw hdf5::LayoutFault("graphs/" + name + "/" + fault.what());
  } catch (const hdf5::Hdf5Fault& fault) {
    throw hdf5::Hdf5Fault("graphs/" + name + "/" + fault.what());
  }
}

// A graph's attributes and the length of its arrays; its points are read later.
struct GraphOutline {
  Graph graph;  // without points
  std::string sourceFile;
  hdf5::PointsInfo points;
};

GraphOutline readGraphOutline(hid_t graphs, const std::string& name) {
  try {
    hdf5::requireHardLink(graphs, name.c_str());
  } catch (const hdf5::LayoutFault& fault) {
    throw hdf5::LayoutFault(std::string("graphs/") + fault.what());
  } catch (const hdf5::Hdf5Fault& fault) {
    throw hdf5::Hdf5Fault(std::string("graphs/") + fault.what());
  }
  return inGraph(name, [&] {
    Handle group(H5Gopen2(graphs, name.c_str(), H5P_DEFAULT), H5Gclose, name);
    GraphOutline outline;
    outline.points = hdf5::inspectPoints(group.get(), "x");
    const hdf5::PointsInfo y = hdf5::inspectPoints(group.get(), "y");
    if (y.count != outline.points.count) {
      throw hdf5::Hdf5Fault("y");
    }
    outline.points.compressed = outline.points.compressed || y.compressed;
    Graph& graph = outline.graph;
    graph.title = hdf5::readString(group.get(), "title");
    outline.sourceFile = hdf5::readString(group.get(), "source_file");
    graph.colour = rgbOf(hdf5::readBytes(group.get(), "colour", 3));
    graph.lineStyle = static_cast<LineStyle>(
        readBounded(group.get(), "line_style", 0, static_cast<int>(LineStyle::DashDotDot)));
    graph.lineWidth = readBounded(group.get(), "line_width", 0, kMaxLineWidth);
    graph.showInLegend = hdf5::readInt(group.get(), "show_in_legend") != 0;
    graph.tag = hdf5::readInt(group.get(), "tag");
    return outline;
  });
}

// The bytes the arrays of the outlines take when read, against what the file can hold:
// stored as they are, the values are in the file; compressed, deflate gains at most
// kDeflateGainBound on them.
std::string fileSizeRefusal(const std::vector<GraphOutline>& outlines, std::uintmax_t fileBytes) {
  long double stored = 0;
  for (const GraphOutline& outline : outlines) {
    const long double bytes = 2.0L * 8.0L * static_cast<long double>(outline.points.count);
    stored += outline.points.compressed ? bytes / hdf5::kDeflateGainBound : bytes;
  }
  if (stored > static_cast<long double>(fileBytes)) {
    return "точек больше, чем может храниться в файле такого размера";
  }
  return {};
}

DocumentState readOutlines(hid_t root, std::uintmax_t fileBytes,
                           std::vector<std::uint64_t>& lengths) {
  DocumentState document;
  const int count = readBounded(root, "graph_count", 0, kMaxGraphs);
  document.active = readBounded(root, "active_index", -1, count - 1);
  document.unnamedCounter = hdf5::readInt(root, "unnamed_counter");
  readTexts(root, document.texts);
  hdf5::requireHardLink(root, "graphs");
  Handle graphs(H5Gopen2(root, "graphs", H5P_DEFAULT), H5Gclose, "graphs");
  H5G_info_t info{};
  if (H5Gget_info(graphs.get(), &info) < 0 || info.nlinks != static_cast<hsize_t>(count)) {
    throw hdf5::Hdf5Fault("graphs");
  }
  const auto n = static_cast<std::size_t>(count);
  std::vector<GraphOutline> outlines;
  outlines.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    outlines.push_back(readGraphOutline(graphs.get(), graphName(i)));
    lengths.push_back(outlines.back().points.count);
    if (outlines.back().points.count > kMaxGraphPoints) {
      // Known before the rest is looked at: say which graph.
      throw hdf5::LayoutFault("graphs/" + graphName(i) + ": " + sizeRefusal(lengths));
    }
  }
  if (std::string cause = fileSizeRefusal(outlines, fileBytes); !cause.empty()) {
    throw hdf5::Hdf5Fault(cause);
  }
  document.graphs.reserve(n);
  document.sourceFiles.reserve(n);
  for (GraphOutline& outline : outlines) {
    document.graphs.push_back(std::move(outline.graph));
    document.sourceFiles.push_back(std::move(outline.sourceFile));
  }
  return document;
}

// Opens the file and tells apart a file that is not HDF5 at all, or not ours, from one
// that is damaged or of a layout the program does not write.
Handle openSessionFile(const std::string& path) {
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
  H5F_info2_t info{};
  if (H5Fget_info2(file, &info) < 0) {
    throw Error(damagedSessionText(path));
  }
  if (info.super.version < 2) {
    throw Error(oldestFormatText(path, info.super.version));
  }
  if (!hdf5::hasAttribute(file, "format") || !hdf5::hasAttribute(file, "format_version")) {
    throw Error(notASessionText(path));
  }
  return handle;
}

void readArrays(hid_t root, std::size_t count, std::uintmax_t fileBytes, Receiver& receiver) {
  Handle graphs(H5Gopen2(root, "graphs", H5P_DEFAULT), H5Gclose, "graphs");
  for (std::size_t i = 0; i < count; ++i) {
    const std::string name = graphName(i);
    inGraph(name, [&] {
      Handle group(H5Gopen2(graphs.get(), name.c_str(), H5P_DEFAULT), H5Gclose, name);
      // The reading process has one thread: checksums are summed as the chunks come.
      receiver.points(hdf5::readPoints(group.get(), "x", fileBytes, false));
      receiver.points(hdf5::readPoints(group.get(), "y", fileBytes, false));
      return 0;
    });
  }
}

}  // namespace

std::string graphName(std::size_t index) {
  std::array<char, 24> name{};
  std::snprintf(name.data(), name.size(), "%03zu", index);
  return name.data();
}

std::string sizeRefusal(std::span<const std::uint64_t> lengths) {
  long double total = 0;
  for (const std::uint64_t length : lengths) {
    if (length > kMaxGraphPoints) {
      return std::to_string(length) + " точек, а в одном графике может быть не больше " +
             std::to_string(kMaxGraphPoints);
    }
    total += static_cast<long double>(length);
  }
  if (total > static_cast<long double>(kMaxSessionPoints)) {
    return "во всех графиках вместе " + std::to_string(static_cast<unsigned long long>(total)) +
           " точек, а может быть не больше " + std::to_string(kMaxSessionPoints);
  }
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageBytes = ::sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageBytes > 0 &&
      16.0L * total > static_cast<long double>(pages) * static_cast<long double>(pageBytes) / 2) {
    return "точки заняли бы больше половины памяти компьютера";
  }
  return {};
}

void readWithLibrary(const std::string& path, std::uintmax_t fileBytes, Receiver& receiver) {
  Handle file = openSessionFile(path);
  try {
    if (hdf5::readString(file.get(), "format") != kFormatName) {
      throw Error(notASessionText(path));
    }
    const int version = hdf5::readInt(file.get(), "format_version");
    if (version > kSessionFormatVersion) {
      throw NewerSessionError(newerSessionText(path));
    }
    if (version < 1) {
      throw hdf5::Hdf5Fault("format_version");
    }
    Session session;
    std::vector<std::uint64_t> lengths;
    session.document = readOutlines(file.get(), fileBytes, lengths);
    session.view = readView(file.get());
    if (std::string cause = sizeRefusal(lengths); !cause.empty()) {
      throw hdf5::LayoutFault(cause);
    }
    receiver.outline(session, lengths);
    readArrays(file.get(), lengths.size(), fileBytes, receiver);
  } catch (const hdf5::LayoutFault& fault) {
    throw Error(refusedSessionText(path, fault.what()));
  } catch (const hdf5::Hdf5Fault& fault) {
    throw Error(damagedSessionText(path) + " (" + fault.what() + ")");
  }
}

}  // namespace tarvik::session
