// The built tarvik-batch program: the point table from a text file, the export to the
// sibling program (a script stands in for it) and the renaming after the legends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "batch/BatchProgram.h"

namespace tarvik::batch::e2e {
namespace {

// A plain graph file of three points titled "Сигнал" (1251 bytes).
const std::string kGraph = "0 1 \xD1\xE8\xE3\xED\xE0\xEB\r\n1 2 \r\n2 3 \r\n";

class BatchTable : public BatchProgram {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
  }
};

TEST_F(BatchTable, RowsReplaceThePointsOrderedByX) {
  write("a.grf", kGraph);
  write("rows.txt", "5 50\r\n\r\n-1\t-10\n  2.5   25 \n2.5 26\n");
  const Outcome r = run("open a.grf; table graph=1 file=rows.txt; dump; list");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "-1\t-10\n2.5\t25\n2.5\t26\n5\t50\n1\t*\t4\ta.grf\tСигнал\n");
}

TEST_F(BatchTable, CommaSeparatorReadsTheLocalePoint) {
  write("a.grf", kGraph);
  write("rows.txt", "0,5 1,25\n");
  const Outcome r =
      runArgs("--decimal-separator=, -e 'open a.grf; table graph=1 file=rows.txt; dump'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "0.5\t1.25\n");
}

TEST_F(BatchTable, BadRowChangesNothingAndEndsTheRun) {
  write("a.grf", kGraph);
  struct Case {
    const char* rows;
    const char* message;
  };
  for (const Case& c :
       {Case{"7 70\n8 8o\n", "error: Строка 2: '8o' — не число\n"},
        Case{"7 70\n\n8\n", "error: Строка 3: нужны два числа, X и Y\n"},
        Case{"7 70\n8 80 800\n", "error: Строка 2: нужны два числа, X и Y\n"}}) {
    write("rows.txt", c.rows);
    const Outcome stop = run("open a.grf; table graph=1 file=rows.txt; dump");
    EXPECT_EQ(stop.status, 1);
    EXPECT_EQ(stop.err, c.message);
    EXPECT_EQ(stop.out, "");
    const Outcome kept = runArgs("--keep-going -e 'open a.grf; table graph=1 file=rows.txt; dump'");
    EXPECT_EQ(kept.out, "0\t1\n1\t2\n2\t3\n") << c.rows;
  }
  const Outcome missing = run("open a.grf; table graph=1 file=none.txt");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "error: Невозможно открыть файл:none.txt\n");
  EXPECT_EQ(run("open a.grf; table graph=2 file=rows.txt").status, 2);
  EXPECT_EQ(run("open a.grf; table file=rows.txt").status, 2);
}

// The rows are counted before any of them is converted: one row more than a graph may
// hold is refused with the program's message, and the graph keeps its points.
TEST_F(BatchTable, MoreRowsThanAGraphMayHoldAreRefused) {
  write("a.grf", kGraph);
  std::string rows;
  rows.reserve(4 * 10'000'001);
  for (int i = 0; i < 10'000'001; ++i) {
    rows += "0 1\n";
  }
  write("rows.txt", rows);
  const Outcome r = runArgs("-k -e 'open a.grf; table graph=1 file=rows.txt; dump'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "error: Слишком много точек: в одном графике может быть не больше 10000000 точек\n");
  EXPECT_EQ(r.out, "0\t1\n1\t2\n2\t3\n");
}

// A bad cell far into a file, whose earlier pages the reading has given back: the message
// quotes it as the file holds it.
TEST_F(BatchTable, ABadCellFarIntoTheFileIsQuotedAsItStands) {
  write("a.grf", kGraph);
  std::string rows;
  for (int i = 0; i < 3'000'000; ++i) {
    rows += "0 1\n";
  }
  rows += "2 2,5e\n";
  write("rows.txt", rows);
  const Outcome r = run("open a.grf; table graph=1 file=rows.txt; dump");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error: Строка 3000001: '2,5e' — не число\n");
  EXPECT_EQ(r.out, "");
}

// One NaN X among rows that arrive backwards: each side of it is ordered on its own, as
// adding the rows one by one places them.
TEST_F(BatchTable, ANaNXSplitsTheRowsIntoRunsOrderedSeparately) {
  write("a.grf", kGraph);
  write("rows.txt", "3 30\n1 10\nNAN 0\n2 20\n-1 -10\n2 21\n");
  const Outcome r = run("open a.grf; table graph=1 file=rows.txt; dump");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t10\n3\t30\nnan\t0\n-1\t-10\n2\t20\n2\t21\n");
}

TEST_F(BatchTable, ExportWritesTheFilesAndStartsTheProgramWithTheirNames) {
  write("a.grf", kGraph);
  write("b.grf", "7 8 \r\n");
  const std::string script =
      write("fake ruzna", "#!/bin/sh\n{ pwd; echo \"$@\"; echo end; } > ../report.txt\n");
  ::chmod(script.c_str(), 0700);
  const Outcome r = runArgs(
      "-e 'open a.grf b.grf; export program=\"fake ruzna\"; save graph=1 file=s0; "
      "save graph=2 file=s1'",
      "", "XDG_DATA_HOME=" + quoted((dir / "data").string()));
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path folder = dir / "data" / "tarvik" / "export";
  std::string report;
  for (int i = 0; i < 1000 && report.find("end\n") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    report = readFile(dir / "data" / "tarvik" / "report.txt");
  }
  EXPECT_EQ(report, fs::canonical(folder).string() + "\n~000 ~001\nend\n");
  // Each file is what the save command writes for its graph.
  EXPECT_EQ(readFile(folder / "~000"), readFile(dir / "s0"));
  EXPECT_EQ(readFile(folder / "~001"), readFile(dir / "s1"));
  EXPECT_NE(readFile(dir / "s1"), "");

  const Outcome failed = runArgs("-e 'open a.grf; export program=a.grf'", "",
                                 "XDG_DATA_HOME=" + quoted((dir / "data").string()));
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, "error: Ошибка при запуске " + (dir / "a.grf").string() + "\n");
}

// A stack limit of 256 KiB leaves the smallest argument list the system allows (128 KiB):
// 10000 graphs' file names do not fit, and not one file is written for the failed start.
TEST_F(BatchTable, ExportOfMoreNamesThanTheSystemPassesWritesNothing) {
  write("a.grf", "0 1\r\n");
  const std::string program = write("ruzna", "#!/bin/sh\necho started > ../report.txt\n");
  ::chmod(program.c_str(), 0700);
  std::string script = "open";
  for (int i = 0; i < 10000; ++i) {
    script += " a.grf";
  }
  script += "\nexport program=ruzna\nlist\n";
  const Outcome r =
      runArgs("-", script, "ulimit -s 256 && XDG_DATA_HOME=" + quoted((dir / "data").string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("error: Слишком много графиков для запуска " + program +
                            ": список аргументов вместе с окружением занял бы ",
                        0),
            0u)
      << r.err;
  EXPECT_NE(r.err.find(" байт, а система допускает не больше 131072 байт. Файлы экспорта не "
                       "записаны\n"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir / "data" / "tarvik" / "export"));
  EXPECT_EQ(r.out, "") << "the run stops at the failed export";
}

TEST_F(BatchTable, RenameToLegendsAsksAndKeepsTheTitleAsItIs) {
  write("a.grf", "0 1 U/I: 1\r\n");
  const Outcome no = run("open a.grf; rename-to-legends answer=no; list");
  ASSERT_EQ(no.status, 0) << no.err;
  EXPECT_EQ(no.out, "1\t*\t1\ta.grf\tU/I: 1\n");
  const Outcome yes = run("open a.grf; rename-to-legends; list");
  ASSERT_EQ(yes.status, 0) << yes.err;
  EXPECT_EQ(yes.out, "1\t*\t1\tU/I: 1.grf\tU/I: 1\n");
}

}  // namespace
}  // namespace tarvik::batch::e2e
