// The batch commands of the spectra, run in-process from parsed script arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "batch/BatchSession.h"
#include "spectral/SpectralOptions.h"

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

// window=, beta= and alpha= persist through the run like the other spectrum fields; a line
// with a refused value changes no field.
TEST(BatchSpectral, WindowFieldsPersistAndARefusedLineChangesNothing) {
  std::ostringstream out, err;
  batch::BatchSession session(out, err, ',');
  batch::BatchRegistry registry;
  batch::registerSpectralCommands(registry);
  auto run = [&](std::map<std::string, std::string> named) {
    batch::BatchArgs a;
    a.command = "spectrum";
    a.named = std::move(named);
    session.ui.prepare(std::vector<int>{0}, std::nullopt, true);
    registry.find("spectrum")->run(session, a);
  };
  Graph g;
  g.title = "Синус";
  for (int i = 0; i < 1000; ++i) {
    g.appendPoint(i, std::sin(0.1 * i));
  }
  session.store.attachGraph(std::move(g), "f");
  const auto& o = session.dialog<spectral::SpectrumOptions>();
  EXPECT_EQ(o.window, spectral::WindowKind::Rectangular);
  run({{"kind", "fft"}, {"time", "s"}});
  const double plain = session.store.graph(1).y(16);
  run({{"window", "kaiser"}, {"beta", "12,5"}});
  EXPECT_EQ(o.window, spectral::WindowKind::Kaiser);
  EXPECT_EQ(o.beta, "12,5");
  EXPECT_EQ(o.kind, spectral::SpectrumOptions::Kind::Fft);  // kept from the line before
  const double kaiser = session.store.graph(2).y(16);
  EXPECT_NE(kaiser, plain);
  run({});  // the window stays
  EXPECT_EQ(session.store.graph(3).y(16), kaiser);

  const std::map<std::string, std::string> refused[] = {
      {{"window", "bartlett"}},
      {{"window", "Hann"}},
      {{"window", "tukey"}, {"alpha", "1,5"}},
      {{"window", "hann"}, {"beta", "-2"}},
      {{"window", "hann"}, {"beta", "x"}},
      {{"alpha", "nan"}},
      {{"window", "hann"}, {"time", "h"}},
  };
  for (const auto& line : refused) {
    EXPECT_THROW(run(line), batch::UsageError) << line.begin()->second;
    EXPECT_EQ(o.window, spectral::WindowKind::Kaiser);
    EXPECT_EQ(o.beta, "12,5");
    EXPECT_EQ(o.alpha, "0.5");
    EXPECT_EQ(o.timeUnit, 3);
  }
  EXPECT_EQ(session.store.count(), 4u);
  run({{"window", "tukey"}, {"alpha", "0"}});
  EXPECT_EQ(o.window, spectral::WindowKind::Tukey);
  EXPECT_EQ(o.alpha, "0");
  // A Tukey window without taper weights nothing.
  EXPECT_EQ(session.store.graph(4).y(16), plain);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace tarvik
