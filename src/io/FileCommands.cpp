#include "io/FileCommands.h"

#include <exception>
#include <filesystem>

#include "core/OutputLimits.h"
#include "core/Palette.h"
#include "io/CsvReaders.h"
#include "io/FileBytes.h"
#include "io/GeneratedGraphReader.h"
#include "io/GraphWriter.h"
#include "io/PlainGraphReader.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

const std::string kCannotOpen = "Невозможно открыть файл:";

enum class ReadOutcome { Added, Ignored, NotOpened, Failed, Stopped };

// Thrown through a reader when the user pressed the stop button: the reader's partial
// results are dropped on the way out, so the stopped file leaves nothing behind.
struct ReadingStopped {};

// What a reader is told as it moves through a file: the pages it has finished with leave
// the process, and a large file shows its percentage in the status bar and can be stopped.
class ReadingWatch {
 public:
  ReadingWatch(CommandContext& ctx, FileBytes& file)
      : m_ctx(ctx), m_file(file), m_size(file.bytes().size()) {
    if (m_size >= kReadProgressBytes) {
      m_ctx.store.stopRequest = false;
      show(0);
    }
  }

  // A reading that ran to its end shows 100 % and then gives the status bar back; one left
  // by the stop button or an error leaves it to the caller.
  ~ReadingWatch() {
    if (m_size >= kReadProgressBytes && std::uncaught_exceptions() == m_exceptions) {
      show(100);
      m_ctx.ui.progress("");
    }
  }
  ReadingWatch(const ReadingWatch&) = delete;
  ReadingWatch& operator=(const ReadingWatch&) = delete;

  ReleaseBytes callback() {
    return [this](std::size_t end) { reached(end); };
  }

 private:
  void reached(std::size_t end) {
    m_file.releaseBefore(end);
    if (m_size < kReadProgressBytes) {
      return;
    }
    show(static_cast<int>(static_cast<double>(end) * 100.0 / static_cast<double>(m_size)));
    if (m_ctx.store.stopRequest) {
      throw ReadingStopped{};
    }
  }

  // The percentage is written only when it changes; writing it lets the window's pending
  // events run, which is when the stop button can be pressed.
  void show(int percent) {
    if (percent != m_shown) {
      m_shown = percent;
      m_ctx.ui.progress(kReadProgress + std::to_string(percent) + " %");
    }
  }

  CommandContext& m_ctx;
  FileBytes& m_file;
  std::size_t m_size;
  int m_shown = -1;
  int m_exceptions = std::uncaught_exceptions();
};

std::string fileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

std::string folderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

bool hasVisibleCharacter(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 32) {
      return true;
    }
  }
  return false;
}

// Records 1-3 set the title, the bottom axis title and the stored Y-axis title, also to an
// empty text; records 4 and 5 add a foot line when they hold something visible.
void applyTexts(GraphStore& store, Graph& graph, const FileTexts& texts) {
  if (texts[0]) {
    graph.title = *texts[0];
  }
  if (texts[1]) {
    store.bottomAxisTitle = *texts[1];
  }
  if (texts[2]) {
    store.yAxisTitle = *texts[2];
  }
  for (std::size_t i = 3; i < texts.size(); ++i) {
    if (texts[i] && hasVisibleCharacter(*texts[i])) {
      store.footLines.push_back(*texts[i]);
    }
  }
}

void takePoints(Graph& graph, PointArrays& points) {
  graph.setPoints(std::move(points.xs), std::move(points.ys));
}

// The CSV readers make one graph per channel, named after the file with ".grf".
std::optional<ReadError> readCsv(CommandContext& ctx, FileBytes& file, const std::string& name) {
  const std::string_view bytes = file.bytes();
  ReadingWatch watch(ctx, file);
  const ReleaseBytes release = watch.callback();
  const char separator = ctx.ui.decimalSeparator();
  // Channels with the same time column share one X array (each graph copies it on its
  // first change).
  CsvData data = isOscilloscopeCsv(bytes)
                     ? readOscilloscopeCsv(bytes, separator, release, CsvTimes::sharedWhereEqual)
                     : readPlainCsv(bytes, separator, release);
  const std::string graphName = fs::path(name).replace_extension(".grf").string();
  std::vector<std::size_t> graphOfChannel;
  for (CsvChannel& channel : data.channels) {
    graphOfChannel.push_back(ctx.store.appendGraph(graphName));
    Graph& graph = ctx.store.graph(graphOfChannel.back());
    if (channel.xOfChannel) {
      graph.setPointsSharingX(ctx.store.graph(graphOfChannel.at(*channel.xOfChannel)),
                              std::move(channel.points.ys));
    } else {
      takePoints(graph, channel.points);
    }
    if (channel.extent) {
      graph.noteExtent(*channel.extent);
    }
    if (channel.title) {
      graph.title = *channel.title;
    }
  }
  if (!data.error) {
    ctx.store.yAxisTitle = "U, В";
    ctx.store.bottomAxisTitle = "t, нс";
  }
  return data.error;
}

std::optional<ReadError> readPlain(CommandContext& ctx, FileBytes& file, const std::string& name) {
  ReadingWatch watch(ctx, file);
  PlainGraphData data = readPlainGraph(file.bytes(), watch.callback());
  Graph& graph = ctx.store.graph(ctx.store.appendGraph(name));
  takePoints(graph, data.points);
  if (data.extent) {
    graph.noteExtent(*data.extent);
  }
  applyTexts(ctx.store, graph, data.texts);
  return data.error;
}

// An oscilloscope's own file: the whole record is read first, so a file that turns out
// damaged leaves nothing behind; then one graph per trace, named as the file names it.
ReadOutcome readScope(CommandContext& ctx, FileBytes& file, const std::string& path,
                      ScopeFormat format) {
  ReadingWatch watch(ctx, file);
  ScopeInput input{file.bytes(), path, watch.callback(), ctx.ui.decimalSeparator()};
  ScopeRecord record;
  try {
    record = readScopeFile(format, input);
  } catch (const ScopeFormatError& error) {
    ctx.ui.message(MessageKind::Error, kCannotOpen + path + ": " + error.what());
    return ReadOutcome::Failed;
  } catch (const std::bad_alloc&) {
    ctx.ui.message(MessageKind::Error, kCannotOpen + path + ": " + kOutOfMemory);
    return ReadOutcome::Failed;
  }
  if (file.shrankWhileRead()) {
    ctx.ui.message(MessageKind::Error, kCannotOpen + path);
    return ReadOutcome::Failed;
  }
  // The source-file entry is the file's name with ".grf", as for the CSV channels.
  const std::string entry = fs::path(fileNameOf(path)).replace_extension(".grf").string();
  for (ScopeTrace& trace : record.traces) {
    Graph& graph = ctx.store.graph(ctx.store.appendGraph(entry));
    takePoints(graph, trace.points);
    graph.title = std::move(trace.title);
  }
  ctx.store.bottomAxisTitle = "t, нс";
  return ReadOutcome::Added;
}

ReadOutcome readInto(CommandContext& ctx, const std::string& path) {
  std::optional<FileBytes> file = FileBytes::open(path);
  if (!file) {
    ctx.ui.message(MessageKind::Error, kCannotOpen + path);
    return ReadOutcome::NotOpened;
  }
  const std::string name = fileNameOf(path);
  const std::string extension = fs::path(name).extension().string();
  if (extension == ".gpj") {
    return ReadOutcome::Ignored;
  }
  std::optional<ReadError> error;
  try {
    const ScopeFormat scope = detectScopeFormat(file->bytes(), lowerAscii(extension));
    if (scope != ScopeFormat::None) {
      return readScope(ctx, *file, path, scope);
    }
    error =
        lowerAscii(extension) == ".csv" ? readCsv(ctx, *file, name) : readPlain(ctx, *file, name);
  } catch (const ReadingStopped&) {
    return ReadOutcome::Stopped;  // the readers append nothing before they have finished
  }
  if (file->shrankWhileRead()) {
    // Another program cut the file short while it was read: its end was not what the reader
    // saw, so the graphs keep only what was read and the file is reported as unreadable.
    ctx.ui.message(MessageKind::Error, kCannotOpen + path);
    return ReadOutcome::Failed;
  }
  if (error) {
    ctx.ui.message(MessageKind::Error, error->message);
    return ReadOutcome::Failed;
  }
  return ReadOutcome::Added;
}

// The last graph becomes active and the window follows the store.
void refreshAfterReading(GraphStore& store) {
  store.setActiveIndex(static_cast<int>(store.count()) - 1);
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
  store.chart().legendRelayout();
}

// Asks for a file name for graph `index` until one is chosen that may be written; nullopt
// when the user cancels.
std::optional<std::string> askSavePath(CommandContext& ctx, std::size_t index) {
  FileDialogRequest request;
  request.title = "Сохранение графика";
  request.filters = {"*.srg;*.grf", "*.*"};
  request.defaultExtension = "srg";
  request.proposedName = ctx.store.sourceFile(index);
  for (;;) {
    std::optional<std::string> path = ctx.ui.askSaveFile(request);
    if (!path) {
      return std::nullopt;
    }
    std::error_code ec;
    if (!fs::exists(*path, ec) || ctx.ui.question("Файл " + *path + " уже есть. Переписать?")) {
      return path;
    }
  }
}

}  // namespace

bool readGraphFile(CommandContext& ctx, const std::string& path) {
  const ReadOutcome outcome = readInto(ctx, path);
  if (outcome == ReadOutcome::Added || outcome == ReadOutcome::Failed) {
    // After an error the graphs read so far stay, so the window is brought up to date too.
    refreshAfterReading(ctx.store);
  }
  return outcome == ReadOutcome::Added || outcome == ReadOutcome::Ignored;
}

bool openFiles(CommandContext& ctx, const std::vector<std::string>& paths) {
  bool allRead = true;
  for (const std::string& path : paths) {
    const ReadOutcome outcome = readInto(ctx, path);
    if (outcome == ReadOutcome::NotOpened) {
      allRead = false;  // the store is unchanged; the next file is read
      continue;
    }
    if (outcome == ReadOutcome::Failed || outcome == ReadOutcome::Stopped) {
      allRead = false;  // a bad number, or the stop button, ends the whole open command
      break;
    }
  }
  GraphStore& store = ctx.store;
  store.setActiveIndex(static_cast<int>(store.count()) - 1);
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
  const bool legendShown = store.chart().legendMenuChecked();
  for (std::size_t i = 0; i < store.count(); ++i) {
    store.graph(i).showInLegend = legendShown;
  }
  store.chart().legendRelayout();
  return allRead;
}

void openCommand(CommandContext& ctx) {
  FileDialogRequest request;
  request.filters = {"*.grf;*.sig;*.srg;*.csv;*.gpj", "Все файлы(*.*)",
                     "Файлы графиков(*.grf;*.sig;*.srg)", "Тектроникс(*.csv)", "Проект(*.gpj)",
                     "Осциллограммы (*.wfm *.bin *.trc *.000 *.isf *.csv)"};
  const std::optional<std::vector<std::string>> paths = ctx.ui.askOpenFiles(request);
  if (!paths || paths->empty()) {
    return;
  }
  ctx.ui.rememberFolder(folderOf(paths->front()));
  openFiles(ctx, *paths);
}

bool appendGeneratedGraph(CommandContext& ctx, const std::string& path) {
  return appendGeneratedGraph(ctx, path, fileNameOf(path));
}

bool appendGeneratedGraph(CommandContext& ctx, const std::string& path,
                          const std::string& shownName) {
  GraphStore& store = ctx.store;
  const std::string& name = shownName;
  const std::optional<FileBytes> file = FileBytes::open(path);
  if (!file) {
    ctx.ui.message(MessageKind::Error, kCannotOpen + name);
    return false;
  }
  Graph graph;
  graph.colour = newGraphColour(store.count());
  graph.title = name;
  store.footLines.clear();
  GeneratedGraphData data = readGeneratedGraph(file->bytes(), name);
  takePoints(graph, data.points);
  applyTexts(store, graph, data.texts);
  if (file->shrankWhileRead()) {
    data.error = ReadError{0, kCannotOpen + name};
  }
  if (data.error) {
    // The new graph is dropped; the chart texts read before the bad line stay.
    ctx.ui.message(MessageKind::Error, data.error->message);
    store.chart().refreshIndicator();
    store.chart().refreshMenus();
    store.chart().legendRelayout();
    return false;
  }
  std::string entry = store.takeUnnamedEntry();
  store.attachGraph(std::move(graph), std::move(entry));
  refreshAfterReading(store);
  return true;
}

void saveCommand(CommandContext& ctx) {
  if (!ctx.store.hasCandidates()) {
    return;
  }
  const std::optional<std::vector<std::size_t>> chosen = pickGraphs(ctx, "Сохранить график");
  if (!chosen) {
    return;
  }
  for (std::size_t index : *chosen) {
    const std::optional<std::string> path = askSavePath(ctx, index);
    if (!path) {
      continue;  // cancel skips this graph only
    }
    // A failure throws before the entry and the remembered folder change.
    writeGraphFile(ctx.store.graph(index), ctx.store, *path, ctx.ui.decimalSeparator());
    ctx.store.setSourceFile(index, *path);
    ctx.ui.rememberFolder(folderOf(*path));
  }
}

void saveProjectCommand(CommandContext& ctx) {
  if (!ctx.store.hasCandidates()) {
    return;
  }
  FileDialogRequest request;
  request.title = "Сохранение проекта";
  request.filters = {"Проекты(*.gpj)"};
  request.defaultExtension = "gpj";
  // No project content is defined: whatever the user answers, nothing is written.
  (void)ctx.ui.askSaveFile(request);
}

}  // namespace tarvik
