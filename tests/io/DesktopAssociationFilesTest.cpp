// The texts of the desktop's association files: the default-application list edited in
// place, the Exec argument's quoting and the MIME package.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "io/DesktopAssociationFiles.h"
#include "io/TempDir.h"

using tarvik::io::desktopExecArgument;
using tarvik::io::mimeAppsDefault;
using tarvik::io::mimePackageText;
using tarvik::io::withMimeAppsDefault;

TEST(DesktopAssociationFiles, DefaultApplicationIsReadFromItsGroupOnly) {
  const std::string text =
      "[Added Associations]\n"
      "text/csv=added.desktop;\n"
      "\n"
      "[Default Applications]\r\n"
      "text/plain=editor.desktop;\n"
      "text/csv = calc.desktop;other.desktop;\r\n"
      "[Removed Associations]\n"
      "application/x-tarvik-grf=gone.desktop;\n";
  EXPECT_EQ(mimeAppsDefault(text, "text/csv"), "calc.desktop;other.desktop;");
  EXPECT_EQ(mimeAppsDefault(text, "application/x-tarvik-grf"), std::nullopt);
  EXPECT_EQ(mimeAppsDefault(text, "text/cs"), std::nullopt);
  EXPECT_EQ(mimeAppsDefault("", "text/csv"), std::nullopt);
}

TEST(DesktopAssociationFiles, EditingTheListKeepsEveryOtherLine) {
  struct Case {
    const char* name;
    std::string before;
    std::optional<std::string> value;
    std::string after;
  };
  const Case cases[] = {
      {"empty file", "", "tarvik.desktop;", "[Default Applications]\ntext/csv=tarvik.desktop;\n"},
      {"group made at the end", "[Added Associations]\ntext/csv=a.desktop;\n", "t.desktop;",
       "[Added Associations]\ntext/csv=a.desktop;\n\n[Default "
       "Applications]\ntext/csv=t.desktop;\n"},
      {"added at the group's end, before blank lines",
       "[Default Applications]\ntext/plain=e.desktop;\n\n[Other]\nk=v\n", "t.desktop;",
       "[Default Applications]\ntext/plain=e.desktop;\ntext/csv=t.desktop;\n\n[Other]\nk=v\n"},
      {"replaced in place, duplicates dropped",
       "# mine\n[Default Applications]\ntext/csv = a.desktop;\nx/y=z\ntext/csv=b.desktop;\n",
       "t.desktop;", "# mine\n[Default Applications]\ntext/csv=t.desktop;\nx/y=z\n"},
      {"removed", "[Default Applications]\ntext/csv=a.desktop;\nx/y=z\n", std::nullopt,
       "[Default Applications]\nx/y=z\n"},
      {"removing a missing entry changes nothing", "[Other]\ntext/csv=a\n", std::nullopt,
       "[Other]\ntext/csv=a\n"},
      {"other groups' entries untouched",
       "[Added Associations]\ntext/csv=a;\n[Default Applications]\ntext/csv=b;\n", "c;",
       "[Added Associations]\ntext/csv=a;\n[Default Applications]\ntext/csv=c;\n"},
      {"empty value kept as empty", "[Default Applications]\n", "",
       "[Default Applications]\ntext/csv=\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string after = withMimeAppsDefault(c.before, "text/csv", c.value);
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(mimeAppsDefault(after, "text/csv"), c.value);
  }
}

TEST(DesktopAssociationFiles, ExecArgumentIsQuotedAndEscapedOnlyWhenNeeded) {
  struct Case {
    const char* path;
    std::optional<std::string> argument;  // as it stands in the file
  };
  const Case cases[] = {
      {"/usr/bin/tarvik", "/usr/bin/tarvik"},
      {"/opt/my tools/tarvik", "\"/opt/my tools/tarvik\""},
      {"/opt/100%/tarvik", "/opt/100%%/tarvik"},
      {"/opt/a\"b$c`d/t", "\"/opt/a\\\\\"b\\\\$c\\\\`d/t\""},
      // A backslash is escaped for the quoting, then both backslashes for the string.
      {"/opt/a\\b", "\"/opt/a\\\\\\\\b\""},
      {"/opt/Тарвик/tarvik", "/opt/Тарвик/tarvik"},
      {"/opt/a\nb/tarvik", std::nullopt},
      {"/opt/a\tb", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(desktopExecArgument(c.path), c.argument);
  }
}

TEST(DesktopAssociationFiles, MimePackageDeclaresTheOwnTypesWithTheirGlobs) {
  const std::string text = mimePackageText("A & <B>", "tarvik");
  for (const char* ext : {"grf", "srg", "cal", "rez"}) {
    const std::string type = std::string("<mime-type type=\"application/x-tarvik-") + ext + "\">";
    const std::size_t at = text.find(type);
    ASSERT_NE(at, std::string::npos) << ext;
    const std::size_t end = text.find("</mime-type>", at);
    const std::string block = text.substr(at, end - at);
    EXPECT_NE(block.find(std::string("<glob pattern=\"*.") + ext + "\"/>"), std::string::npos);
    EXPECT_NE(block.find("<sub-class-of type=\"text/plain\"/>"), std::string::npos);
    EXPECT_NE(block.find("<comment>A &amp; &lt;B&gt;</comment>"), std::string::npos);
  }
  EXPECT_EQ(text.find("csv"), std::string::npos);
}

// The oscilloscope waveform types are declared as binary files with their globs; ".bin",
// which is not ours to claim, is never among them.
TEST(DesktopAssociationFiles, MimePackageOffersTheScopeWaveformTypesButNotBin) {
  const std::string text = mimePackageText("A", "tarvik");
  for (const char* ext : {"wfm", "isf", "trc"}) {
    const std::string type =
        std::string("<mime-type type=\"application/x-oscilloscope-") + ext + "\">";
    const std::size_t at = text.find(type);
    ASSERT_NE(at, std::string::npos) << ext;
    const std::string block = text.substr(at, text.find("</mime-type>", at) - at);
    EXPECT_NE(block.find(std::string("<glob pattern=\"*.") + ext + "\"/>"), std::string::npos);
    EXPECT_EQ(block.find("text/plain"), std::string::npos) << ext;
  }
  EXPECT_EQ(text.find(".bin"), std::string::npos);
  for (const auto& scope : tarvik::io::kScopeFileTypes) {
    EXPECT_NE(scope.extension, ".bin");
    EXPECT_EQ(tarvik::io::mimeTypeOfExtension(scope.extension), "");  // never associated
  }
}

// A list that is there but cannot be read is told from one that is not there: only the
// second may be written as if empty.
TEST(DesktopAssociationFiles, ListThatCannotBeReadIsToldFromAMissingOne) {
  tarvik::testing::TempDir dir;
  const std::string list = dir.write("mimeapps.list", "[Default Applications]\ntext/x=a;\n");
  std::filesystem::create_directory(dir.path("folder.list"));
  ASSERT_EQ(::mkfifo(dir.path("pipe.list").c_str(), 0600), 0);
  const std::string lastWord = dir.write("file", "");
  const struct {
    std::string path;
    bool readable;
    std::string text;
  } cases[] = {
      {list, true, "[Default Applications]\ntext/x=a;\n"},
      {dir.path("missing.list"), true, ""},
      {lastWord + "/mimeapps.list", true, ""},  // below a file: nothing is there
      {dir.path("folder.list"), false, ""},
      {dir.path("pipe.list"), false, ""},  // and no wait for a writer
  };
  for (const auto& c : cases) {
    const tarvik::io::MimeAppsRead read = tarvik::io::readMimeAppsFile(c.path);
    EXPECT_EQ(read.readable, c.readable) << c.path;
    EXPECT_EQ(read.text, c.text) << c.path;
  }
  // Permission bits do not stop the superuser, who can read the file all the same.
  ::chmod(list.c_str(), 0200);
  EXPECT_EQ(tarvik::io::readMimeAppsFile(list).readable, ::geteuid() == 0);
  EXPECT_EQ(tarvik::io::mimeAppsUnreadableText("/h/.config/mimeapps.list")
                .rfind("Невозможно прочитать файл:/h/.config/mimeapps.list\nАссоциации файлов не "
                       "изменены",
                       0),
            0u);
}
