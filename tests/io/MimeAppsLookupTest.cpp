// The desktop's default-application lists as the desktop consults them: their order for
// the current desktops, the default in effect, and the list a change must go into so that
// it takes effect — in temporary configuration and data folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "io/DesktopAssociationFiles.h"
#include "io/TempDir.h"

namespace tarvik::io {
namespace {

using tarvik::testing::TempDir;

constexpr const char* kCsv = "text/csv";

// A home with its configuration and data folders, one system folder of each kind, and
// the desktops "ubuntu:GNOME".
struct Desktop {
  TempDir dir;
  MimeAppsFolders folders;
  Desktop() {
    for (const char* sub : {"config", "data/applications", "etc/xdg", "usr/share/applications"}) {
      std::filesystem::create_directories(dir.path(sub));
    }
    folders.configHome = dir.path("config");
    folders.configDirs = {dir.path("etc/xdg")};
    folders.dataHome = dir.path("data");
    folders.dataDirs = {dir.path("usr/share") + "/"};
    folders.desktops = currentDesktopNames("ubuntu:GNOME");
  }
  std::string write(const std::string& name, const std::string& defaults) const {
    return dir.write(name, "[Default Applications]\n" + defaults);
  }
  MimeAppsLists lists() const { return MimeAppsLists(folders); }
};

TEST(MimeAppsLookup, ListsInTheDesktopsOrderEachDesktopBeforeTheGeneralList) {
  Desktop d;
  const std::string h = d.dir.path("");
  EXPECT_EQ(mimeAppsLookupOrder(d.folders),
            (std::vector<std::string>{
                h + "config/ubuntu-mimeapps.list", h + "config/gnome-mimeapps.list",
                h + "config/mimeapps.list", h + "etc/xdg/ubuntu-mimeapps.list",
                h + "etc/xdg/gnome-mimeapps.list", h + "etc/xdg/mimeapps.list",
                h + "data/applications/ubuntu-mimeapps.list",
                h + "data/applications/gnome-mimeapps.list", h + "data/applications/mimeapps.list",
                h + "usr/share/applications/ubuntu-mimeapps.list",
                h + "usr/share/applications/gnome-mimeapps.list",
                h + "usr/share/applications/mimeapps.list"}));
  EXPECT_EQ(currentDesktopNames("X-Cinnamon::KDE:../evil/x:"),
            (std::vector<std::string>{"x-cinnamon", "kde"}));
  EXPECT_TRUE(currentDesktopNames("").empty());
}

// The desktop follows the first list that names the type: the current desktop's own list
// overrides the general one, the user's lists override the system's.
TEST(MimeAppsLookup, DefaultInEffectIsTheFirstListNamingTheType) {
  Desktop d;
  d.write("usr/share/applications/mimeapps.list", "text/csv=office.desktop;\n");
  EXPECT_EQ(d.lists().effectiveDefault(kCsv), "office.desktop;");
  d.write("config/mimeapps.list", "text/csv=tarvik.desktop;\n");
  EXPECT_EQ(d.lists().effectiveDefault(kCsv), "tarvik.desktop;");
  d.write("config/gnome-mimeapps.list", "text/csv=calc.desktop;\n");
  EXPECT_EQ(d.lists().effectiveDefault(kCsv), "calc.desktop;");
  d.write("config/ubuntu-mimeapps.list", "text/plain=editor.desktop;\n");
  EXPECT_EQ(d.lists().effectiveDefault(kCsv), "calc.desktop;");
  EXPECT_EQ(d.lists().effectiveDefault("application/x-tarvik-grf"), std::nullopt);
  // Without a current desktop its own lists do not count.
  d.folders.desktops.clear();
  EXPECT_EQ(d.lists().effectiveDefault(kCsv), "tarvik.desktop;");
}

// A new default goes where it takes effect: into the user's list that names the type
// (a desktop's own before the general one), else into the general list, which overrides
// every system list.
TEST(MimeAppsLookup, NewDefaultIsWrittenIntoTheListThatTakesEffect) {
  Desktop d;
  const std::string general = d.dir.path("config/mimeapps.list");
  d.write("etc/xdg/gnome-mimeapps.list", "text/csv=office.desktop;\n");
  std::optional<MimeAppsEdit> edit = d.lists().settingDefault(kCsv, "tarvik.desktop;");
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->path, general);
  EXPECT_EQ(edit->text, "[Default Applications]\ntext/csv=tarvik.desktop;\n");

  const std::string own = d.write("config/gnome-mimeapps.list",
                                  "text/plain=editor.desktop;\ntext/csv=calc.desktop;\n");
  d.write("config/mimeapps.list", "text/csv=old.desktop;\n");
  edit = d.lists().settingDefault(kCsv, "tarvik.desktop;");
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->path, own);
  EXPECT_EQ(edit->text,
            "[Default Applications]\ntext/plain=editor.desktop;\ntext/csv=tarvik.desktop;\n");
  // Written, it is the default the desktop follows.
  d.dir.write("config/gnome-mimeapps.list", edit->text);
  EXPECT_EQ(d.lists().effectiveDefault(kCsv), "tarvik.desktop;");
}

// Giving the type back: the program's entry leaves the user's lists from the top while
// they name it; the first list naming another program is the default from then on.
TEST(MimeAppsLookup, RemovingTheProgramsDefaultUncoversTheNextOne) {
  Desktop d;
  const std::string ubuntu = d.write("config/ubuntu-mimeapps.list", "text/csv=tarvik.desktop;\n");
  const std::string general = d.write("config/mimeapps.list", "text/csv=tarvik.desktop;x;\n");
  d.write("usr/share/applications/mimeapps.list", "text/csv=office.desktop;\n");
  std::vector<MimeAppsEdit> edits = d.lists().removingDefault(kCsv, "tarvik.desktop");
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[0].path, ubuntu);
  EXPECT_EQ(edits[1].path, general);
  EXPECT_EQ(edits[1].text, "[Default Applications]\n");

  d.write("config/gnome-mimeapps.list", "text/csv=calc.desktop;\n");
  edits = d.lists().removingDefault(kCsv, "tarvik.desktop");
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(edits[0].path, ubuntu);
  for (const MimeAppsEdit& e : edits) {
    d.dir.write(e.path.substr(d.dir.path("").size()), e.text);
  }
  EXPECT_EQ(d.lists().effectiveDefault(kCsv), "calc.desktop;");
}

// A list of the user that cannot be read may be the one in effect: nothing is decided.
// One of the system's is passed over, as the desktop passes over it.
TEST(MimeAppsLookup, UnreadableUserListStopsEveryChange) {
  Desktop d;
  d.write("config/mimeapps.list", "text/csv=tarvik.desktop;\n");
  std::filesystem::create_directories(d.dir.path("etc/xdg/mimeapps.list"));
  EXPECT_EQ(d.lists().unreadableUserList(), std::nullopt);
  EXPECT_EQ(d.lists().effectiveDefault(kCsv), "tarvik.desktop;");

  const std::string folder = d.dir.path("config/gnome-mimeapps.list");
  std::filesystem::create_directories(folder);
  EXPECT_EQ(d.lists().unreadableUserList(), folder);
  EXPECT_EQ(d.lists().settingDefault(kCsv, "x.desktop;"), std::nullopt);
  EXPECT_TRUE(d.lists().removingDefault(kCsv, "tarvik.desktop").empty());
}

TEST(MimeAppsLookup, FoldersFromTheEnvironment) {
  struct Saved {
    const char* name;
    std::optional<std::string> value;
  };
  std::vector<Saved> saved;
  for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                           "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"}) {
    const char* v = std::getenv(name);
    saved.push_back({name, v != nullptr ? std::optional<std::string>(v) : std::nullopt});
  }
  ::setenv("HOME", "/h", 1);
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  ::setenv("XDG_CONFIG_DIRS", "", 1);
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("XDG_DATA_DIRS", "rel:/opt/share::/usr/share", 1);
  ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
  const MimeAppsFolders f = mimeAppsFoldersFromEnvironment();
  for (const Saved& s : saved) {
    if (s.value) {
      ::setenv(s.name, s.value->c_str(), 1);
    } else {
      ::unsetenv(s.name);
    }
  }
  EXPECT_EQ(f.configHome, "/h/.config");
  EXPECT_EQ(f.configDirs, std::vector<std::string>{"/etc/xdg"});
  EXPECT_EQ(f.dataHome, "/h/.local/share");
  EXPECT_EQ(f.dataDirs, (std::vector<std::string>{"/opt/share", "/usr/share"}));
  EXPECT_EQ(f.desktops, std::vector<std::string>{"kde"});
}

}  // namespace
}  // namespace tarvik::io
