// The point table dialog typed into as a user does, the copy of the points to the
// clipboard, the renaming question and the export's message in the window.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"

using tarvik::CommandContext;
using tarvik::app::TfmChart;
using tarvik::testing::answerNextMessage;
using tarvik::testing::onNextModal;
using tarvik::testing::pressKey;
using tarvik::testing::SeenMessage;
using tarvik::testing::typeText;

namespace {

void addGraph(TfmChart& w, std::vector<double> xs, std::vector<double> ys) {
  w.runGuarded([&](CommandContext& ctx) {
    ctx.store.graph(ctx.store.appendGraph("g")).setPoints(std::move(xs), std::move(ys));
  });
}

std::vector<double> xsOf(TfmChart& w) {
  const auto xs = w.store().graph(0).xs();
  return {xs.begin(), xs.end()};
}
std::vector<double> ysOf(TfmChart& w) {
  const auto ys = w.store().graph(0).ys();
  return {ys.begin(), ys.end()};
}

// Ends the edit of a cell with Enter and lets the table take the text, as it does between
// a user's keys.
void pressReturn(QWidget* dialog) {
  pressKey(dialog, Qt::Key_Return);
  QCoreApplication::processEvents();
}

// Clicks, as the mouse does, whatever lies under the middle of the button captioned `text`.
void clickButton(QWidget* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
    if (b->text() == text && b->isVisible()) {
      const QPoint at = b->mapTo(dialog, b->rect().center());
      QWidget* under = dialog->childAt(at);
      QVERIFY(under != nullptr);
      QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, under->mapFrom(dialog, at));
      return;
    }
  }
  QFAIL(qPrintable("no button " + text));
}

}  // namespace

class PointTableTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

 private slots:
  void typedCellIsAddedInXOrderOnOk() {
    TfmChart w({}, settingsPath());
    addGraph(w, {1, 2, 3}, {10, 20, 30});
    bool seen = false;
    onNextModal([&seen](QWidget* dialog) {
      seen = true;
      QCOMPARE(dialog->windowTitle(), QString("Исходный текст"));
      auto* table = dialog->findChild<QTableView*>();
      QCOMPARE(table->model()->rowCount(), 3);
      QCOMPARE(table->model()->index(2, 1).data().toString(), QString("30"));
      typeText(dialog, "9.5");  // replaces X of the first row
      pressReturn(dialog);
      clickButton(dialog, "OK");
    });
    QVERIFY(w.runCommand("N35"));
    QVERIFY(seen);
    QCOMPARE(xsOf(w), (std::vector<double>{2, 3, 9.5}));
    QCOMPARE(ysOf(w), (std::vector<double>{20, 30, 10}));
  }

  void badCellKeepsTheDialogAndTheGraphThenCancelLeavesIt() {
    TfmChart w({}, settingsPath());
    addGraph(w, {1, 2, 3}, {10, 20, 30});
    SeenMessage message;
    bool stayedOpen = false;
    onNextModal([&](QWidget* dialog) {
      pressKey(dialog, Qt::Key_Down);
      pressKey(dialog, Qt::Key_Right);
      typeText(dialog, "2o");  // a typo in Y of the second row
      pressReturn(dialog);
      answerNextMessage(&message);
      clickButton(dialog, "OK");
      stayedOpen = dialog->isVisible();
      auto* table = dialog->findChild<QTableView*>();
      QCOMPARE(table->currentIndex().row(), 1);
      QCOMPARE(table->currentIndex().column(), 1);
      clickButton(dialog, "Отмена");
    });
    QVERIFY(w.runCommand("N35"));
    QVERIFY(stayedOpen);
    QCOMPARE(message.icon, QMessageBox::Critical);
    QCOMPARE(message.text, QString("'2o' — не число"));
    QCOMPARE(xsOf(w), (std::vector<double>{1, 2, 3}));
    QCOMPARE(ysOf(w), (std::vector<double>{10, 20, 30}));
  }

  void rowsAreAddedAndDeletedFromTheKeyboard() {
    TfmChart w({}, settingsPath());
    addGraph(w, {1, 2, 3}, {10, 20, 30});
    onNextModal([](QWidget* dialog) {
      pressKey(dialog, Qt::Key_Delete, Qt::ControlModifier);  // the first row goes
      pressKey(dialog, Qt::Key_Insert);                       // a new row after the current
      typeText(dialog, "-5");
      pressKey(dialog, Qt::Key_Tab);
      typeText(dialog, "-50");
      pressReturn(dialog);
      pressKey(dialog, Qt::Key_End, Qt::ControlModifier);
      pressKey(dialog, Qt::Key_Down);  // past the last row: an empty row, left empty
      clickButton(dialog, "OK");
    });
    QVERIFY(w.runCommand("N35"));
    QCOMPARE(xsOf(w), (std::vector<double>{-5, 2, 3}));
    QCOMPARE(ysOf(w), (std::vector<double>{-50, 20, 30}));
  }

  void tooManyPointsAreRefused() {
    TfmChart w({}, settingsPath());
    addGraph(w, std::vector<double>(10001, 0.0), std::vector<double>(10001, 0.0));
    SeenMessage tooMany;
    answerNextMessage(&tooMany);
    QVERIFY(w.runCommand("N35"));
    QCOMPARE(tooMany.text, QString("Больше 10000 точек нецелесобразно показывать - очень долго!!"));
  }

  void copyDataPutsTabSeparatedPointsOnTheClipboard() {
    TfmChart w({}, settingsPath());
    addGraph(w, {0.5, 1}, {-2, 1e-9});
    w.findChild<QAction*>("mnCopyData")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("X\tY\n0.5\t-2\n1\t1E-9\n"));
  }

  void exportWithoutTheProgramNamesThePathTried() {
    TfmChart w({}, settingsPath());
    addGraph(w, {1}, {1});
    SeenMessage message;
    answerNextMessage(&message);
    QVERIFY(w.runCommand("mnExport"));
    QCOMPARE(message.text,
             "Файл " + QCoreApplication::applicationDirPath() + "/Ruzna\nне найден !!!");
  }
};

QTEST_MAIN(PointTableTest)
#include "PointTableTest.moc"
