// The batch commands of the spectra, run in-process from parsed script arguments.
#include <gtest/gtest.h>

#include <sstream>

#include "batch/BatchSession.h"

namespace tarvik {
namespace {

TEST(BatchSpectral, CommandsRunFromScriptArguments) {
  std::ostringstream out, err;
  batch::BatchSession session(out, err, '.');
  batch::BatchRegistry registry;
  batch::registerSpectralCommands(registry);
  auto run = [&](const std::string& name, std::map<std::string, std::string> named,
                 std::optional<std::vector<int>> rows = std::nullopt) {
    batch::BatchArgs a;
    a.command = name;
    a.named = std::move(named);
    session.ui.prepare(rows, std::nullopt, true);
    registry.find(name)->run(session, a);
  };
  run("fft-selftest", {});
  ASSERT_EQ(session.store.count(), 4u);
  EXPECT_EQ(session.store.graph(0).title, "Исходный график");
  EXPECT_EQ(session.store.graph(0).size(), 2048u);
  EXPECT_EQ(session.store.graph(3).title, "Обратно FFT");
  EXPECT_EQ(session.store.graph(3).size(), 1024u);
  run("spectrum", {{"kind", "fft"}, {"nophase", "off"}, {"fmax", "1e3"}, {"time", "s"}},
      std::vector<int>{0});
  ASSERT_EQ(session.store.count(), 6u);
  EXPECT_EQ(session.store.graph(4).title, "Модуль FFT: ");
  run("inverse-spectrum", {{"points", "10"}, {"tmax", "1"}, {"delete", "on"}});
  ASSERT_EQ(session.store.count(), 5u);
  EXPECT_EQ(session.store.graph(4).size(), 11u);
  run("convolve", {{"signal", "1"}, {"response", "2"}});
  EXPECT_EQ(session.store.graph(5).title, "Исходный график (Свертка)");
  run("impedance",
      {{"voltage", "1"}, {"current", "1"}, {"fmax", "10"}, {"df", "1"}, {"time", "s"}});
  EXPECT_EQ(session.store.graph(session.store.count() - 1).title, "Модуль Z");
  EXPECT_THROW(run("spectrum", {{"kind", "dct"}}), batch::UsageError);
  EXPECT_THROW(run("impedance", {{"time", "h"}}), batch::UsageError);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace tarvik
