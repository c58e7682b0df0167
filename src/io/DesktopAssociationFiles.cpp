#include "io/DesktopAssociationFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "io/FileAssociations.h"

namespace tarvik::io {

namespace {

constexpr std::string_view kDefaultGroup = "[Default Applications]";

std::string_view trimmed(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && isSpace(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isSpace(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      lines.push_back(text);
      break;
    }
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool isGroupHeader(std::string_view line) {
  const std::string_view t = trimmed(line);
  return !t.empty() && t.front() == '[';
}

// The value when `line` is the entry "key=value" of `key` (blanks around '=' allowed).
std::optional<std::string_view> entryValue(std::string_view line, std::string_view key) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || trimmed(line.substr(0, equals)) != key) {
    return std::nullopt;
  }
  return trimmed(line.substr(equals + 1));
}

std::string xmlEscaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A desktop entry string value: no line ends, backslashes doubled.
std::string entryString(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string mimeTypeOfExtension(std::string_view extension) {
  bool known = false;
  for (const std::string_view e : kAssociatedExtensions) {
    known = known || e == extension;
  }
  if (!known) {
    return {};
  }
  if (extension == ".csv") {
    return "text/csv";
  }
  return "application/x-tarvik-" + std::string(extension.substr(1));
}

std::optional<std::string> mimeAppsDefault(std::string_view text, std::string_view mimeType) {
  bool inGroup = false;
  for (const std::string_view line : splitLines(text)) {
    if (isGroupHeader(line)) {
      inGroup = trimmed(line) == kDefaultGroup;
    } else if (inGroup) {
      if (const auto value = entryValue(line, mimeType)) {
        return std::string(*value);
      }
    }
  }
  return std::nullopt;
}

std::string withMimeAppsDefault(std::string_view text, std::string_view mimeType,
                                const std::optional<std::string>& value) {
  const std::string entry = value ? std::string(mimeType) + "=" + *value : std::string();
  std::vector<std::string> out;
  bool inGroup = false;
  bool sawGroup = false;
  bool written = !value.has_value();
  std::size_t groupEnd = 0;  // where a new entry goes: after the group's last non-blank line
  for (const std::string_view line : splitLines(text)) {
    if (isGroupHeader(line)) {
      inGroup = trimmed(line) == kDefaultGroup;
      sawGroup = sawGroup || inGroup;
      out.emplace_back(line);
      if (inGroup) {
        groupEnd = out.size();
      }
      continue;
    }
    if (inGroup && entryValue(line, mimeType)) {
      if (!written) {
        out.push_back(entry);
        written = true;
        groupEnd = out.size();
      }
      continue;  // a duplicate entry, or the removed one
    }
    out.emplace_back(line);
    if (inGroup && !trimmed(line).empty()) {
      groupEnd = out.size();
    }
  }
  if (!written) {
    if (sawGroup) {
      out.insert(out.begin() + static_cast<std::ptrdiff_t>(groupEnd), entry);
    } else {
      if (!out.empty() && !trimmed(out.back()).empty()) {
        out.emplace_back();
      }
      out.emplace_back(kDefaultGroup);
      out.push_back(entry);
    }
  }
  std::string result;
  for (const std::string& line : out) {
    result += line;
    result += '\n';
  }
  return result;
}

MimeAppsRead readMimeAppsFile(const std::string& path) {
  MimeAppsRead result;
  // Non-blocking, so a pipe put in the file's place cannot hang the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    result.readable = errno == ENOENT || errno == ENOTDIR;
    return result;
  }
  struct stat info {};
  result.readable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  char buffer[65536];
  while (result.readable) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      result.readable = n == 0;
      break;
    }
    result.text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (!result.readable) {
    result.text.clear();
  }
  return result;
}

std::string mimeAppsUnreadableText(const std::string& path) {
  return "Невозможно прочитать файл:" + path +
         "\nАссоциации файлов не изменены: в этом файле записаны программы для файлов всех "
         "типов, и без его чтения они были бы потеряны";
}

namespace {

std::string environmentFolder(const char* variable, const std::string& fallbackBelowHome) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') {
    return value;
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/" + fallbackBelowHome;
}

std::vector<std::string> environmentFolderList(const char* variable,
                                               const std::vector<std::string>& fallback) {
  const char* value = std::getenv(variable);
  std::vector<std::string> folders;
  std::string_view rest = value != nullptr ? std::string_view(value) : std::string_view();
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view part = rest.substr(0, colon);
    if (!part.empty() && part.front() == '/') {
      folders.emplace_back(part);
    }
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return folders.empty() ? fallback : folders;
}

std::string withoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  return folder;
}

}  // namespace

MimeAppsFolders mimeAppsFoldersFromEnvironment() {
  MimeAppsFolders f;
  f.configHome = environmentFolder("XDG_CONFIG_HOME", ".config");
  f.configDirs = environmentFolderList("XDG_CONFIG_DIRS", {"/etc/xdg"});
  f.dataHome = environmentFolder("XDG_DATA_HOME", ".local/share");
  f.dataDirs = environmentFolderList("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"});
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  f.desktops = currentDesktopNames(desktop != nullptr ? desktop : "");
  return f;
}

std::vector<std::string> currentDesktopNames(std::string_view value) {
  std::vector<std::string> names;
  while (!value.empty()) {
    const std::size_t colon = value.find(':');
    std::string name(value.substr(0, colon));
    for (char& c : name) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (!name.empty() && name.find('/') == std::string::npos) {
      names.push_back(std::move(name));
    }
    value = colon == std::string_view::npos ? std::string_view() : value.substr(colon + 1);
  }
  return names;
}

std::vector<std::string> mimeAppsLookupOrder(const MimeAppsFolders& folders) {
  std::vector<std::string> roots{folders.configHome};
  roots.insert(roots.end(), folders.configDirs.begin(), folders.configDirs.end());
  roots.push_back(folders.dataHome + "/applications");
  for (const std::string& dir : folders.dataDirs) {
    roots.push_back(withoutTrailingSlash(dir) + "/applications");
  }
  std::vector<std::string> paths;
  for (const std::string& root : roots) {
    const std::string folder = withoutTrailingSlash(root);
    for (const std::string& desktop : folders.desktops) {
      paths.push_back(folder + "/" + desktop + "-mimeapps.list");
    }
    paths.push_back(folder + "/mimeapps.list");
  }
  return paths;
}

MimeAppsLists::MimeAppsLists(const MimeAppsFolders& folders, const Reader& reader)
    : m_paths(mimeAppsLookupOrder(folders)), m_userLists(folders.desktops.size() + 1) {
  m_lists.reserve(m_paths.size());
  for (const std::string& path : m_paths) {
    m_lists.push_back(reader(path));
  }
}

std::optional<std::string> MimeAppsLists::unreadableUserList() const {
  for (std::size_t i = 0; i < m_userLists && i < m_lists.size(); ++i) {
    if (!m_lists[i].readable) {
      return m_paths[i];
    }
  }
  return std::nullopt;
}

std::optional<std::string> MimeAppsLists::effectiveDefault(std::string_view mimeType) const {
  for (const MimeAppsRead& list : m_lists) {
    if (!list.readable) {
      continue;
    }
    if (std::optional<std::string> value = mimeAppsDefault(list.text, mimeType)) {
      return value;
    }
  }
  return std::nullopt;
}

std::optional<MimeAppsEdit> MimeAppsLists::settingDefault(std::string_view mimeType,
                                                          const std::string& value) const {
  if (unreadableUserList()) {
    return std::nullopt;
  }
  std::size_t target = m_userLists - 1;  // the user's general list
  for (std::size_t i = 0; i < m_userLists; ++i) {
    if (mimeAppsDefault(m_lists[i].text, mimeType)) {
      target = i;
      break;
    }
  }
  return MimeAppsEdit{m_paths[target], withMimeAppsDefault(m_lists[target].text, mimeType, value)};
}

std::vector<MimeAppsEdit> MimeAppsLists::removingDefault(std::string_view mimeType,
                                                         std::string_view desktopId) const {
  std::vector<MimeAppsEdit> edits;
  if (unreadableUserList()) {
    return edits;
  }
  for (std::size_t i = 0; i < m_userLists; ++i) {
    const std::optional<std::string> value = mimeAppsDefault(m_lists[i].text, mimeType);
    if (!value) {
      continue;
    }
    if (firstDesktopId(*value) != desktopId) {
      break;
    }
    edits.push_back({m_paths[i], withMimeAppsDefault(m_lists[i].text, mimeType, std::nullopt)});
  }
  return edits;
}

std::string firstDesktopId(std::string_view value) {
  return std::string(trimmed(value.substr(0, value.find(';'))));
}

std::optional<std::string> desktopExecArgument(std::string_view path) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = path.empty();
  std::string quoted;
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      return std::nullopt;
    }
    quote = quote || kReserved.find(c) != std::string_view::npos;
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted += '\\';
    }
    quoted += c == '%' ? std::string("%%") : std::string(1, c);
  }
  std::string argument;
  if (quote) {
    argument = '"' + quoted + '"';
  } else {
    // No reserved character, so nothing was escaped but the field codes.
    argument = quoted;
  }
  // The quoting works on the value after the string escapes are undone.
  return entryString(argument);
}

std::optional<std::string> desktopEntryText(const DesktopEntryFields& fields) {
  const std::optional<std::string> exec = desktopExecArgument(fields.executablePath);
  if (!exec) {
    return std::nullopt;
  }
  std::string mimeTypes;
  for (const std::string& type : fields.mimeTypes) {
    mimeTypes += type + ";";
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         entryString(fields.name) + "\nComment=" + entryString(fields.comment) + "\nExec=" + *exec +
         " %F\nIcon=" + entryString(fields.icon) +
         "\nTerminal=false\nCategories=Science;DataVisualization;\nMimeType=" + mimeTypes + "\n";
}

std::string mimePackageText(std::string_view comment, std::string_view icon) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  for (const std::string_view extension : kAssociatedExtensions) {
    const std::string type = mimeTypeOfExtension(extension);
    if (type.rfind("application/x-tarvik-", 0) != 0) {
      continue;
    }
    text += "  <mime-type type=\"" + type + "\">\n";
    text += "    <sub-class-of type=\"text/plain\"/>\n";
    text += "    <comment>" + xmlEscaped(comment) + "</comment>\n";
    text += "    <icon name=\"" + xmlEscaped(icon) + "\"/>\n";
    text += "    <glob pattern=\"*" + xmlEscaped(extension) + "\"/>\n";
    text += "  </mime-type>\n";
  }
  for (const ScopeFileType& scope : kScopeFileTypes) {
    text += "  <mime-type type=\"" + std::string(scope.mimeType) + "\">\n";
    text += "    <comment>Oscilloscope waveform file</comment>\n";
    text += "    <comment xml:lang=\"ru\">Осциллограмма</comment>\n";
    text += "    <glob pattern=\"*" + std::string(scope.extension) + "\"/>\n";
    text += "  </mime-type>\n";
  }
  text += "</mime-info>\n";
  return text;
}

}  // namespace tarvik::io
