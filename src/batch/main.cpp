// tarvik-batch: runs the commands of the chart window from a script, without a window.
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "batch/BatchRunner.h"
#include "batch/PictureCommands.h"

namespace {

using namespace tarvik::batch;

constexpr const char* kUsage =
    "usage: tarvik-batch [--decimal-separator=C] [--keep-going] SCRIPT\n"
    "       tarvik-batch [--decimal-separator=C] [--keep-going] -e 'COMMAND; COMMAND'\n"
    "       tarvik-batch --help | --version\n"
    "\n"
    "SCRIPT is a file of commands, one per line ('-' reads standard input); '#' starts a\n"
    "comment line. Arguments are name=value; a value with blanks or ';' goes in double\n"
    "quotes. graphs= takes 1-based numbers and ranges (1,3-5), all or active; left out, it\n"
    "means the active graph. value= left out answers with the value given last in the run\n"
    "(at first 0). Messages go to standard error as 'error: TEXT' and 'info: TEXT'.\n"
    "Exit status: 0 all commands ran, 1 a command failed, 2 usage error.\n"
    "--decimal-separator sets the separator of typed numbers and of numbers written in\n"
    "texts: '.' or ',' (default: the locale's).\n"
    "--keep-going, -k: a command that fails does not stop the run; the run goes on with\n"
    "the next command and exits with 1 at the end. Usage errors still stop the run.\n"
    "\n"
    "commands:\n";

// The separator of the user's numeric locale. The locale is set back to "C" afterwards so
// that no library call parses or prints numbers differently behind our back.
char localeDecimalSeparator() {
  char separator = '.';
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const std::lconv* conv = std::localeconv();
    if (conv != nullptr && conv->decimal_point != nullptr && conv->decimal_point[0] == ',' &&
        conv->decimal_point[1] == '\0') {
      separator = ',';  // "." or "," only, as the option takes
    }
  }
  std::setlocale(LC_NUMERIC, "C");
  return separator;
}

void printHelp(const BatchRegistry& registry) {
  std::cout << kUsage;
  for (const BatchCommand& command : registry.all()) {
    std::cout << "  " << command.usage << '\n';
  }
}

int usage(const std::string& text) {
  std::cerr << "tarvik-batch: " << text << "\n(try tarvik-batch --help)\n";
  return kExitUsage;
}

bool readAll(std::istream& in, std::string& text) {
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return !in.bad();
}

// True when `name` (or standard input for "-") is a folder.
bool isFolder(const std::string& name) {
  struct stat status {};
  const int result = name == "-" ? fstat(STDIN_FILENO, &status) : stat(name.c_str(), &status);
  return result == 0 && S_ISDIR(status.st_mode);
}

struct Options {
  char separator = '.';
  bool help = false;
  bool version = false;
  bool keepGoing = false;
  std::vector<std::string> inlineCommands;
  std::vector<std::string> scripts;
};

// Returns an empty text on success, else the usage complaint.
std::string parseOptions(int argc, char** argv, Options& o) {
  const std::string sepOption = "--decimal-separator=";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg.rfind(sepOption, 0) == 0) {
      const std::string value = arg.substr(sepOption.size());
      // Any other character would write numbers that read back as other numbers.
      if (value != "." && value != ",") {
        return "--decimal-separator takes '.' or ','";
      }
      o.separator = value[0];
    } else if (arg == "--keep-going" || arg == "-k") {
      o.keepGoing = true;
    } else if (arg == "-e") {
      if (i + 1 >= argc) {
        return "-e needs the commands";
      }
      o.inlineCommands.push_back(argv[++i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option " + arg;
    } else {
      o.scripts.push_back(arg);
    }
  }
  if (!o.help && !o.version && o.inlineCommands.empty() == o.scripts.empty()) {
    return "give one SCRIPT or -e 'COMMANDS'";
  }
  if (o.scripts.size() > 1 || o.inlineCommands.size() > 1) {
    return "give one SCRIPT or one -e";
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that stops early (`tarvik-batch … | head`) must not kill the run: a write to
  // the closed pipe then fails like one to a full disk, the commands that write no output
  // (a save) still run, and the run ends with "standard output cannot be written".
  std::signal(SIGPIPE, SIG_IGN);
  Options options;
  options.separator = localeDecimalSeparator();
  if (const std::string complaint = parseOptions(argc, argv, options); !complaint.empty()) {
    return usage(complaint);
  }
  BatchRegistry registry = standardRegistry();
  registerPictureCommands(registry);
  if (options.help) {
    printHelp(registry);
    return kExitOk;
  }
  if (options.version) {
    std::cout << "tarvik " << TARVIK_VERSION << '\n';
    return kExitOk;
  }

  std::vector<ScriptLine> lines;
  if (!options.scripts.empty()) {
    std::string text;
    const std::string& name = options.scripts.front();
    // A folder opens like a file but reads as nothing: it would run as an empty script.
    if (isFolder(name)) {
      return usage("the script " + name + " is a folder");
    }
    if (name == "-") {
      readAll(std::cin, text);
    } else {
      std::ifstream file(name, std::ios::binary);
      if (!file || !readAll(file, text)) {
        return usage("cannot read the script " + name);
      }
    }
    lines = scriptLines(text);
  } else {
    lines = inlineLines(options.inlineCommands.front());
  }

  BatchSession session(std::cout, std::cerr, options.separator);
  session.ui.progressToTerminal = isatty(STDERR_FILENO) != 0;
  BatchRunner runner(session, registry, std::cerr);
  runner.setKeepGoing(options.keepGoing);
  const int status = runner.run(lines);
  std::cout.flush();
  // Output that never arrived (a full disk, a closed pipe) is not a successful run.
  if (!std::cout && status == kExitOk) {
    std::cerr << "error: standard output cannot be written\n";
    return kExitCommandFailed;
  }
  return status;
}
