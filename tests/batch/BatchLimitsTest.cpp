// The built tarvik-batch program at its limits: options it refuses, outputs too large to
// make, runs out of memory, --keep-going, and standard output that cannot be written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "batch/BatchProgram.h"

namespace tarvik::batch::e2e {
namespace {

// Sanitizer builds reserve terabytes of address space, so a limit on it stops them at once.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kAddressSpaceLimitWorks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || \
    __has_feature(thread_sanitizer)
constexpr bool kAddressSpaceLimitWorks = false;
#else
constexpr bool kAddressSpaceLimitWorks = true;
#endif
#else
constexpr bool kAddressSpaceLimitWorks = true;
#endif

const char* const kTooManyPoints =
    "error: Слишком много точек: в одном графике может быть не больше 10000000 точек\n";
const char* const kTooManyFrequencies =
    "error: Слишком много частот: увеличьте шаг по частоте или сузьте диапазон\n";

class BatchLimits : public BatchProgram {
 protected:
  std::string openScope() const { return "open \"" + example("pulse_scope.csv") + "\"; "; }
  std::string openScopeList() const {
    return "1\t-\t10000\tpulse_scope.grf\tCH1\n"
           "2\t-\t10000\tpulse_scope.grf\tCH2\n"
           "3\t-\t10000\tpulse_scope.grf\tCH3\n"
           "4\t*\t10000\tpulse_scope.grf\tCH4\n";
  }
};

TEST_F(BatchLimits, OptionsAndScriptsThatAreUsageErrors) {
  struct Case {
    std::string args;
    std::string input;
    std::string errStart;
  };
  const Case cases[] = {
      // Only "." and "," are decimal separators: a digit, a blank or "e" would write
      // numbers that read back as other numbers.
      {"--decimal-separator=e -e list", "", "tarvik-batch: --decimal-separator takes '.' or ','"},
      {"--decimal-separator=5 -e list", "", "tarvik-batch: --decimal-separator"},
      {"'--decimal-separator= ' -e list", "", "tarvik-batch: --decimal-separator"},
      {"--decimal-separator=';' -e list", "", "tarvik-batch: --decimal-separator"},
      {"--decimal-separator= -e list", "", "tarvik-batch: --decimal-separator"},
      {"--keep-going --decimal-separator=: -e list", "", "tarvik-batch: --decimal-separator"},
      // A folder is no script, whether named or given on standard input.
      {".", "", "tarvik-batch: the script . is a folder"},
      {"-k " + quoted(TARVIK_EXAMPLES_DIR), "", "tarvik-batch: the script "},
      // The run still checks every command before it starts, with or without -k.
      {"-k -e " + quoted("list; frobnicate"), "", "usage error: line 2: unknown command"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome r = runArgs(c.args, c.input);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.err.substr(0, c.errStart.size()), c.errStart);
    EXPECT_EQ(r.out, "");
  }
  // Standard input opened on a folder.
  const std::string folderInput = quoted(TARVIK_BATCH_EXE) + " - <" + quoted(TARVIK_EXAMPLES_DIR) +
                                  " 2>" + quoted((dir / "err.txt").string());
  const int raw = std::system(folderInput.c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 2) << raw;
  EXPECT_EQ(readFile(dir / "err.txt").substr(0, 38), "tarvik-batch: the script - is a folder");
  for (const char* separator : {".", ","}) {
    const Outcome r = runArgs(std::string("--decimal-separator=") + separator + " -e list");
    EXPECT_EQ(r.status, 0) << r.err;
  }
}

TEST_F(BatchLimits, OutputsAboveTenMillionPointsAreRefusedAndChangeNothing) {
  struct Case {
    const char* commands;
    const char* err;
  };
  // Each would otherwise grow until the system ends the process.
  const Case cases[] = {
      {"spectrum graphs=1 fmin=0 fmax=1e9 df=1", kTooManyFrequencies},
      {"spectrum graphs=1 fmin=-1e9 fmax=1e9 df=100", kTooManyFrequencies},
      {"impedance voltage=1 current=2 fmin=0 fmax=1e9 df=1", kTooManyFrequencies},
      {"clone graphs=1-2 points=2000000000", kTooManyPoints},
      {"clone graphs=1 points=10000001", kTooManyPoints},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commands);
    const Outcome r = runArgs("-k -e " + quoted(openScope() + c.commands + "; list"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, openScopeList());
  }
}

// Commands whose output size follows from their inputs: ten curve points per point, the
// two parts of a splice. A graph within the cap may give more than it.
TEST_F(BatchLimits, CurvesAndSplicesBeyondTheCapAreRefusedBeforeTheyAreMade) {
  struct Case {
    const char* prepare;  // clones of CH1 and CH2 become graphs 5 and 6
    const char* command;
  };
  const Case cases[] = {
      {"clone graphs=1 points=1000001", "spline graphs=5"},        // 10,000,001 points
      {"clone graphs=1 points=1000003", "bspline graphs=1-5"},     // 10,000,010 points
      {"clone graphs=1,2 points=5000001; shift-x graphs=6 value=1e6",  // all of both
       "splice first=5 second=6 x=1e5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const Outcome before = run(openScope() + c.prepare + "; list");
    ASSERT_EQ(before.status, 0) << before.err;
    const Outcome r = runArgs("-k -e " + quoted(openScope() + c.prepare + "; " + c.command +
                                                "; list"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kTooManyPoints);
    EXPECT_EQ(r.out, before.out);
  }
  // At the cap itself the splice is made.
  const Outcome fits =
      run(openScope() + "clone graphs=1,2 points=5000000; shift-x graphs=6 value=1e6; " +
          "splice first=5 second=6 x=1e5; list");
  ASSERT_EQ(fits.status, 0) << fits.err;
  EXPECT_EQ(fields(lines(fits.out).at(6)).at(2), "10000000");
}

TEST_F(BatchLimits, InverseTransformRefusesTooManyPoints) {
  const std::string spectrum = openScope() + "spectrum graphs=1 fmax=1e9 df=1e7 nophase=off; ";
  const Outcome before = run(spectrum + "list");
  ASSERT_EQ(before.status, 0) << before.err;
  ASSERT_EQ(lines(before.out).size(), 6u);
  for (const char* points : {"2000000000", "10000000"}) {  // the signal has points + 1
    SCOPED_TRACE(points);
    const Outcome r = runArgs(
        "-k -e " + quoted(spectrum + "inverse-spectrum points=" + points + " delete=on; list"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kTooManyPoints);
    EXPECT_EQ(r.out, before.out);
  }
}

TEST_F(BatchLimits, RunningOutOfMemoryLeavesNoGraphOfTheCommand) {
  if (!kAddressSpaceLimitWorks) {
    GTEST_SKIP() << "an address-space limit stops sanitizer builds";
  }
  // Four clones of 9,000,000 points need 576 MB; the process may take 400 MB. Some clones
  // fit before memory runs out: none of them may stay.
  const Outcome r = runArgs("-k -e " + quoted(openScope() + "clone graphs=all points=9000000; " +
                                              "list; clone graphs=1 points=1000; list"),
                            "", "ulimit -v 400000 &&");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error: Недостаточно памяти\n");
  EXPECT_EQ(r.out,
            openScopeList() + openScopeList() + "5\t-\t1000\tpulse_scope.grf (Клон)\tCH1 (Клон)\n");
}

// Commands within the cap that do not fit in 400 MB, part-way through their graphs: two
// curves of 10,000,000 points, and running means of three graphs of 4,000,000 points, each
// rewritten in new arrays while the document before the command keeps the old ones. The
// command ends with the shortage; none of its curves stays and no graph is half rewritten.
TEST_F(BatchLimits, CommandsThatRunOutOfMemoryPartWayLeaveNothingHalfMade) {
  if (!kAddressSpaceLimitWorks) {
    GTEST_SKIP() << "an address-space limit stops sanitizer builds";
  }
  struct Case {
    const char* prepare;
    const char* command;
  };
  const Case cases[] = {
      {"clone graphs=1,2 points=1000002", "bspline graphs=5,6"},
      {"clone graphs=1-3 points=4000000", "mean graphs=5-7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string prepared = openScope() + c.prepare + "; ";
    const Outcome before = runArgs("-e " + quoted(prepared + "list"), "", "ulimit -v 400000 &&");
    ASSERT_EQ(before.status, 0) << before.err;
    const Outcome r = runArgs("-k -e " + quoted(prepared + c.command + "; list"), "",
                              "ulimit -v 400000 &&");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Недостаточно памяти\n");
    EXPECT_EQ(r.out, before.out);
  }
}

TEST_F(BatchLimits, KeepGoingRunsEveryCommandAndFailsAtTheEnd) {
  const std::string script = "open \"" + (dir / "missing.grf").string() + "\"; list; dump; texts";
  const std::string noFile = "error: Невозможно открыть файл:" + (dir / "missing.grf").string();
  Outcome r = run(script);  // without the flag the run stops at the first failure
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, noFile + "\n");
  EXPECT_EQ(r.out, "");
  for (const char* flag : {"-k", "--keep-going"}) {
    SCOPED_TRACE(flag);
    r = runArgs(std::string(flag) + " -e " + quoted(script));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, noFile + "\nerror: Не выбран активный график\n");
    EXPECT_EQ(r.out, "bottom\t\nleft\t\nfoot\t\n");
  }
  r = runArgs("-k -e " + quoted("list; texts"));
  EXPECT_EQ(r.status, 0) << r.err;
  // A graph number that is not there when the command runs still stops the run.
  r = runArgs("-k -e " + quoted(openScope() + "close graphs=1-3; dump graph=2; list"));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "usage error: line 3: there is no graph 2 (graphs: 1)\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(BatchLimits, OutputThatCannotBeWrittenIsAFailure) {
  const Outcome r = runArgs("-e " + quoted(openScope() + "dump graph=1"), "", "", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error: standard output cannot be written\n");
}

// `tarvik-batch … | head`: the reader stops reading, the output fails as on a full disk,
// and a later command that writes no output still runs.
TEST_F(BatchLimits, OutputToAPipeWhoseReaderLeftFailsAndTheRunGoesOn) {
  const fs::path saved = dir / "saved.grf";
  const Outcome r = runToClosedPipe(
      "-k -e " + quoted(openScope() + "dump graph=1; list; save graph=2 file=" + saved.string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error: standard output cannot be written\n");
  EXPECT_TRUE(fs::is_regular_file(saved));
}

}  // namespace
}  // namespace tarvik::batch::e2e
