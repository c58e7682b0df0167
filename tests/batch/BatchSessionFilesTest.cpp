// save-session and open-session in tarvik-batch: the document and the view come back as
// they were; a file that cannot be read leaves the document untouched.
#include <gtest/gtest.h>

#include <string>

#include "batch/BatchProgram.h"

namespace tarvik::batch::e2e {
namespace {

class BatchSessionFiles : public BatchProgram {
 protected:
  // What a run shows of the document and the view.
  static constexpr const char* kShow = "list; texts; view; dump graph=1; dump graph=4";

  std::string scope() const { return example("pulse_scope.csv"); }
};

TEST_F(BatchSessionFiles, OpenSessionBringsBackTheDocumentAndTheView) {
  const std::string build = "open " + scope() +
                            "; mul-y graphs=2 value=-3; titles bottom=мкс left=Ток foot=Опыт;"
                            " activate graph=3; zoom percent=115; ";
  const Outcome before = run(build + kShow + "; save-session file=s.h5");
  ASSERT_EQ(before.status, 0) << before.err;
  // A different document first: open-session replaces it whole.
  const Outcome after = run("open " + scope() + "; close-all; open-session file=s.h5; " + kShow);
  ASSERT_EQ(after.status, 0) << after.err;
  EXPECT_EQ(after.out, before.out);
  EXPECT_NE(after.out.find("3\t*\t"), std::string::npos);  // the active graph
  EXPECT_NE(after.out.find("bottom\tмкс"), std::string::npos);
}

TEST_F(BatchSessionFiles, SavingTwiceGivesTheSameSessionAndChangesNothing) {
  const Outcome first =
      run("open " + scope() + "; save-session file=a.h5; " + kShow + "; save-session file=a.h5");
  ASSERT_EQ(first.status, 0) << first.err;
  const Outcome second = run("open-session file=a.h5; " + std::string(kShow));
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out, first.out);
}

TEST_F(BatchSessionFiles, AFileThatCannotBeReadLeavesTheDocumentAlone) {
  ASSERT_EQ(run("open " + scope() + "; save-session file=good.h5").status, 0);
  const std::string good = readFile(dir / "good.h5");
  std::ofstream(dir / "cut.h5", std::ios::binary) << good.substr(0, good.size() / 2);
  std::ofstream(dir / "text.h5", std::ios::binary) << "0 1\n1 2\n";

  const Outcome reference = run("open " + scope() + "; list; view");
  struct Case {
    std::string file;
    std::string message;
  };
  const Case cases[] = {
      {"cut.h5", "error: Файл сеанса " + (dir / "cut.h5").string() + " повреждён"},
      {"text.h5", "error: Файл " + (dir / "text.h5").string() + " не является файлом сеанса"},
      {"none.h5", "error: Файл " + (dir / "none.h5").string() + " не найден !!!"},
  };
  for (const Case& c : cases) {
    const Outcome r = runArgs(
        "-k -e " + quoted("open " + scope() + "; open-session file=" + c.file + "; list; view"));
    EXPECT_EQ(r.status, 1) << c.file;
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
    EXPECT_EQ(r.out, reference.out) << c.file;
  }
  EXPECT_EQ(run("save-session").status, 2);  // file= is required
}

}  // namespace
}  // namespace tarvik::batch::e2e
