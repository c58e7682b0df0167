// The calibration file dialog, driven with the mouse and the keyboard, with and without
// calibration files; the window's calibration and B-spline commands through it.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "dialogs/ChartSelectUI.h"
#include "synth/SensorCommands.h"

using tarvik::dialogs::TfmChartSelectUI;
using tarvik::synth::CalibrationFileChoice;

namespace {

// A click where the pointer is: the event goes to whatever widget lies under the point.
void clickAt(QWidget* top, QPoint inTop) {
  QWidget* target = top->childAt(inTop);
  if (target == nullptr) {
    target = top;
  }
  QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(top, inTop));
}

QPoint buttonCentre(QWidget* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
    if (b->text() == text) {
      return b->mapTo(dialog, b->rect().center());
    }
  }
  return {-1, -1};
}

QPoint rowCentre(QWidget* dialog, int row) {
  auto* grid = dialog->findChild<QTableWidget*>();
  const QRect cell = grid->visualRect(grid->model()->index(row, 0));
  return grid->viewport()->mapTo(dialog, cell.center());
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

}  // namespace

class SensorDialogsTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

 private slots:
  void gridListsCalibrationFiles() {
    QTemporaryDir cal;
    writeFile(cal.filePath("a.CAL"), "1 1 \xCF\xE5\xF0\xE2\xFB\xE9\n2 2\n");  // "Первый"
    writeFile(cal.filePath("b.cal"), "1 1 second\n");
    writeFile(cal.filePath("c.txt"), "1 1\n");
    TfmChartSelectUI dialog;
    dialog.setFolders({cal.path()});
    QCOMPARE(dialog.windowTitle(),
             QString("Выбор файла калибровочной характеристики измерительного канала"));
    dialog.rebuildGrid();
    QTableWidget* grid = dialog.grid();
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString("Имя файла"));
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QString("Дата"));
    QCOMPARE(grid->horizontalHeaderItem(2)->text(), QString("Комментарий"));
    QCOMPARE(grid->columnWidth(0), 125);
    QCOMPARE(grid->columnWidth(1), 80);
    for (int row = 0; row < 2; ++row) {
      const QString name = grid->item(row, 0)->text();
      const QDate date = QFileInfo(cal.filePath(name)).lastModified().date();
      QCOMPARE(grid->item(row, 1)->text(), QLocale().toString(date, QLocale::ShortFormat));
      QCOMPARE(grid->item(row, 2)->text(), QString(name == "a.CAL" ? "Первый" : "second"));
    }
  }

  void mouseChoosesTheClickedRow() {
    QTemporaryDir cal;
    writeFile(cal.filePath("a.CAL"), "1 1\n");
    writeFile(cal.filePath("b.CAL"), "1 1\n");
    TfmChartSelectUI dialog;
    dialog.setFolders({cal.path()});
    QString clickedName;
    tarvik::testing::onNextModal([&clickedName](QWidget* w) {
      clickAt(w, rowCentre(w, 1));
      clickedName = w->findChild<QTableWidget*>()->item(1, 0)->text();
      clickAt(w, buttonCentre(w, "Выбрать"));
    });
    CalibrationFileChoice choice;
    QVERIFY(dialog.run(choice));
    QCOMPARE(QString::fromStdString(choice.path), cal.filePath(clickedName));
  }

  void keyboardMovesAndEnterChooses() {
    QTemporaryDir cal;
    writeFile(cal.filePath("a.CAL"), "1 1\n");
    writeFile(cal.filePath("b.CAL"), "1 1\n");
    TfmChartSelectUI dialog;
    dialog.setFolders({cal.path()});
    QString secondName;
    tarvik::testing::onNextModal([&secondName](QWidget* w) {
      secondName = w->findChild<QTableWidget*>()->item(1, 0)->text();
      tarvik::testing::pressKey(w, Qt::Key_Down);
      tarvik::testing::pressKey(w, Qt::Key_Return);
    });
    CalibrationFileChoice choice;
    QVERIFY(dialog.run(choice));
    QCOMPARE(QString::fromStdString(choice.path), cal.filePath(secondName));
  }

  void withoutFilesTheHeaderStandsAloneAndChoosingCancels() {
    QTemporaryDir empty;
    TfmChartSelectUI dialog;
    dialog.setFolders({empty.path(), empty.filePath("missing")});
    int rows = -1;
    bool headerShown = false;
    tarvik::testing::onNextModal([&](QWidget* w) {
      auto* grid = w->findChild<QTableWidget*>();
      rows = grid->rowCount();
      headerShown = grid->horizontalHeader()->isVisible() && grid->columnCount() == 3;
      clickAt(w, buttonCentre(w, "Выбрать"));
    });
    CalibrationFileChoice choice;
    choice.path = "/kept.CAL";
    QVERIFY(!dialog.run(choice));
    QCOMPARE(rows, 0);
    QVERIFY(headerShown);
    QCOMPARE(QString::fromStdString(choice.path), QString("/kept.CAL"));
  }

  void cancelTakesNothing() {
    QTemporaryDir cal;
    writeFile(cal.filePath("a.CAL"), "1 1\n");
    TfmChartSelectUI dialog;
    dialog.setFolders({cal.path()});
    tarvik::testing::onNextModal([](QWidget* w) { clickAt(w, buttonCentre(w, "Отмена")); });
    CalibrationFileChoice choice;
    QVERIFY(!dialog.run(choice));
    QVERIFY(choice.path.empty());
  }

  // btnUI: the graph selection, then the calibration file dialog, then the new graph.
  void windowConvertsThroughTheChosenFile() {
    QTemporaryDir cal;
    writeFile(cal.filePath("line.CAL"), "1 1\n2 2\n3 3\n");
    tarvik::app::TfmChart w({}, m_dir.filePath("tarvik.INI"));
    auto* selectUI = dynamic_cast<TfmChartSelectUI*>(w.dialogRegistry().find("TfmChartSelectUI"));
    QVERIFY(selectUI != nullptr);
    selectUI->setFolders({cal.path()});
    w.runGuarded([](tarvik::CommandContext& ctx) {
      const std::size_t i = ctx.store.appendGraph("volts");
      ctx.store.graph(i).setPoints({0, 1, 2}, {0.5, 4, -2});
    });
    tarvik::testing::onNextModal([](QWidget* select) {
      QCOMPARE(select->windowTitle(), QString("Выбрать графики тока для преобразования"));
      tarvik::testing::onNextModal([](QWidget* files) {
        clickAt(files, rowCentre(files, 0));
        clickAt(files, buttonCentre(files, "Выбрать"));
      });
      clickAt(select, buttonCentre(select, "OK"));
    });
    QVERIFY(w.runCommand("btnUI"));
    QCOMPARE(w.store().count(), std::size_t{2});
    const tarvik::Graph& out = w.store().graph(1);
    QCOMPARE(QString::fromStdString(out.title), QString("U-I volts"));
    QCOMPARE(out.y(0), 0.5);
    QCOMPARE(out.y(1), 4.0);
    QVERIFY(qAbs(out.y(2) + 2.0) < 2e-3);  // the spline, within 0.1 % in U
  }

  // ToolButton37 writes the milliseconds the graph took into the caption.
  void bSplineCaptionShowsMilliseconds() {
    tarvik::app::TfmChart w({}, m_dir.filePath("tarvik.INI"));
    w.runGuarded([](tarvik::CommandContext& ctx) {
      const std::size_t i = ctx.store.appendGraph("g");
      ctx.store.graph(i).setPoints({0, 1, 2, 3}, {0, 1, 0, 1});
    });
    tarvik::testing::onNextModal(
        [](QWidget* select) { clickAt(select, buttonCentre(select, "OK")); });
    QVERIFY(w.runCommand("ToolButton37"));
    QCOMPARE(w.store().count(), std::size_t{2});
    QCOMPARE(w.store().graph(1).size(), std::size_t{20});
    bool digits = false;
    w.windowTitle().toInt(&digits);
    QVERIFY2(digits, qPrintable(w.windowTitle()));
  }
};

QTEST_MAIN(SensorDialogsTest)
#include "SensorDialogsTest.moc"
