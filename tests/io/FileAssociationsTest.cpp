// The association rules over the in-memory store: the exact keys and values after each
// close of the dialog, the states shown at activation, and keys that cannot be changed.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "io/FileAssociations.h"

using tarvik::io::applyAssociations;
using tarvik::io::AssociationStates;
using tarvik::io::MemoryAssociationStore;
using tarvik::io::shownAssociations;

namespace {

using Table = std::map<std::string, std::optional<std::string>>;

constexpr const char* kExe = "/opt/tarvik/bin/tarvik";

// The class tree as the shell finds it, written out key by key.
Table classTree(const std::string& exe) {
  const std::string macro = "[open(\"%1\")]";
  return {
      {"Tarvik.file", "Tarvik grafic files"},
      {"Tarvik.file\\DefaultIcon", exe},
      {"Tarvik.file\\shell", std::nullopt},
      {"Tarvik.file\\shell\\open", std::nullopt},
      {"Tarvik.file\\shell\\open\\command", exe},
      {"Tarvik.file\\shell\\open\\ddeexec", macro},
      {"Tarvik.file\\shell\\open\\ddeexec\\application", "Tarvik"},
      {"Tarvik.file\\shell\\open\\ddeexec\\topic", "ddeChart"},
      {"Tarvik.file\\shell\\print", std::nullopt},
      {"Tarvik.file\\shell\\print\\command", exe},
      {"Tarvik.file\\shell\\print\\ddeexec", macro},
      {"Tarvik.file\\shell\\print\\ddeexec\\application", "Tarvik"},
      {"Tarvik.file\\shell\\print\\ddeexec\\topic", "ddeChart"},
  };
}

Table withTree(Table keys, const std::string& exe = kExe) {
  keys.merge(classTree(exe));
  return keys;
}

void setKey(MemoryAssociationStore& store, const std::string& key,
            const std::optional<std::string>& value) {
  ASSERT_TRUE(store.createKey(key));
  if (value) {
    ASSERT_TRUE(store.setDefaultValue(key, *value));
  }
}

// Boxes in dialog order: .grf .srg .csv .cal .rez.
constexpr AssociationStates kNone{};
constexpr AssociationStates kGrf{true, false, false, false, false};
constexpr AssociationStates kRez{false, false, false, false, true};

}  // namespace

TEST(FileAssociations, TickingAnotherProgramsExtensionKeepsItsClassAndClearingRestoresIt) {
  MemoryAssociationStore store;
  setKey(store, ".grf", "OtherPlot.Document");

  applyAssociations(store, kGrf, kExe);
  EXPECT_EQ(store.keys(),
            withTree({{".grf", "Tarvik.file"}, {".grf\\Old_Key", "OtherPlot.Document"}}));

  applyAssociations(store, kNone, kExe);
  // The class name is back; Old_Key stays.
  EXPECT_EQ(store.keys(),
            withTree({{".grf", "OtherPlot.Document"}, {".grf\\Old_Key", "OtherPlot.Document"}}));

  // Ticked again: the backup is taken again from the value then in place.
  store.setDefaultValue(".grf", "Newer.Viewer");
  applyAssociations(store, kGrf, kExe);
  EXPECT_EQ(store.keys(), withTree({{".grf", "Tarvik.file"}, {".grf\\Old_Key", "Newer.Viewer"}}));
}

TEST(FileAssociations, TickingAMissingExtensionCreatesItAndClearingDeletesIt) {
  MemoryAssociationStore store;

  applyAssociations(store, kRez, kExe);
  EXPECT_EQ(store.keys(), withTree({{".rez", "Tarvik.file"}}));

  applyAssociations(store, kNone, kExe);
  EXPECT_EQ(store.keys(), withTree({}));
}

TEST(FileAssociations, AKeyWithoutDefaultValueIsBackedUpAsEmpty) {
  MemoryAssociationStore store;
  setKey(store, ".cal", std::nullopt);
  setKey(store, ".cal\\ShellNew", "kept");

  applyAssociations(store, {false, false, false, true, false}, kExe);
  EXPECT_EQ(store.keys(),
            withTree({{".cal", "Tarvik.file"}, {".cal\\Old_Key", ""}, {".cal\\ShellNew", "kept"}}));

  applyAssociations(store, kNone, kExe);
  EXPECT_EQ(store.keys(),
            withTree({{".cal", ""}, {".cal\\Old_Key", ""}, {".cal\\ShellNew", "kept"}}));
}

TEST(FileAssociations, ClosingWithoutChangesStillRewritesTheClassTree) {
  MemoryAssociationStore store;
  applyAssociations(store, {true, false, true, false, false}, "/home/u/old/tarvik");
  setKey(store, ".srg", "Someone.Else");
  setKey(store, "Tarvik.file\\shell\\open\\command", "/broken");
  const int finishes = store.finishCount();

  // The program was moved; the boxes show what the store holds.
  const AssociationStates shown = shownAssociations(store, kNone);
  EXPECT_EQ(shown, (AssociationStates{true, false, true, false, false}));
  applyAssociations(store, shown, kExe);

  EXPECT_EQ(store.keys(),
            withTree({{".grf", "Tarvik.file"}, {".csv", "Tarvik.file"}, {".srg", "Someone.Else"}}));
  EXPECT_EQ(store.finishCount(), finishes + 1);
}

TEST(FileAssociations, ActivationShowsOnlyKeysThatHaveADefaultValue) {
  MemoryAssociationStore store;
  setKey(store, ".grf", "Tarvik.file");
  setKey(store, ".srg", "tarvik.file");  // the comparison is exact
  setKey(store, ".csv", "Spreadsheet.Csv");
  setKey(store, ".cal", std::nullopt);
  // .rez is missing

  EXPECT_EQ(shownAssociations(store, {false, true, true, true, true}),
            (AssociationStates{true, false, false, true, true}));
  EXPECT_EQ(shownAssociations(store, kNone), (AssociationStates{true, false, false, false, false}));
}

TEST(FileAssociations, KeysThatCannotBeChangedAreSkippedSilently) {
  MemoryAssociationStore store;
  setKey(store, ".grf", "OtherPlot.Document");
  store.refuse(".grf\\Old_Key");
  store.refuse(".srg");
  store.refuse("Tarvik.file\\DefaultIcon");

  applyAssociations(store, {true, true, false, false, true}, kExe);

  Table expected = withTree({{".grf", "Tarvik.file"}, {".rez", "Tarvik.file"}});
  expected.erase("Tarvik.file\\DefaultIcon");
  EXPECT_EQ(store.keys(), expected);
  EXPECT_EQ(store.finishCount(), 1);
}

TEST(FileAssociations, MemoryStoreDeletesAKeyWithItsSubkeysOnly) {
  MemoryAssociationStore store;
  setKey(store, ".grf", "a");
  setKey(store, ".grf\\Old_Key", "b");
  setKey(store, ".grf-x", "c");  // sorts between ".grf" and its subkeys
  setKey(store, ".grfz", "d");

  EXPECT_TRUE(store.deleteKey(".grf"));
  EXPECT_FALSE(store.deleteKey(".grf"));
  EXPECT_EQ(store.keys(), (Table{{".grf-x", "c"}, {".grfz", "d"}}));
  EXPECT_FALSE(store.setDefaultValue(".missing", "x"));
}
