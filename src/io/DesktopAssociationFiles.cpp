#include "io/DesktopAssociationFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
