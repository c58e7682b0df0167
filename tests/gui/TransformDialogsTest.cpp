// The transform dialogs of the window (RC time constant, energy units, splice) and their
// wiring: the handlers and dialogs installTransformActions registers, and two commands run
// through the real main window with their dialogs answered from here.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <vector>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/CommandMap.h"
#include "dialogs/ChartRC.h"
#include "dialogs/ChartSel2gr.h"
#include "dialogs/ChartSelectGrPrm.h"
#include "io/FileCommands.h"
#include "transforms/CalculusCommands.h"
#include "transforms/GraphEditingCommands.h"
#include "transforms/RunningStatsCommands.h"
#include "view/ChartView.h"
#include "view/GraphPlottable.h"

using tarvik::CommandContext;
using tarvik::EnergyUnitsOptions;
using tarvik::RcOptions;
using tarvik::SpliceOptions;
using tarvik::app::TfmChart;
using tarvik::dialogs::TfmChartRC;
using tarvik::dialogs::TfmSelectGrParam;
using tarvik::dialogs::TfmSelectTwoGr;

namespace {

// Runs `act` while every message box that appears is recorded and answered with OK, so a
// modal message inside `act` cannot hang the test. Returns the texts seen, in order.
QStringList answeringMessages(const std::function<void()>& act) {
  QStringList seen;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&seen] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box != nullptr && box->isVisible()) {
        seen << box->text();
        box->accept();
      }
    }
  });
  timer.start();
  act();
  return seen;
}

QPushButton* buttonWithText(QWidget* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
    if (b->text() == text) {
      return b;
    }
  }
  return nullptr;
}

QStringList entries(const QComboBox* box) {
  QStringList texts;
  for (int i = 0; i < box->count(); ++i) {
    texts << box->itemText(i);
  }
  return texts;
}

// The ways a person can try to close the RC dialog.
enum CloseWay { OkButton, EscapeKey, WindowClose };

void tryToClose(TfmChartRC* rc, int way) {
  switch (way) {
    case OkButton:
      rc->findChild<QPushButton*>("OK")->click();
      break;
    case EscapeKey:
      QTest::keyClick(rc, Qt::Key_Escape);
      break;
    default:
      rc->close();
      break;
  }
}

// Ends a dialog that a faulty close check refuses to let go, so the test fails instead of
// hanging.
void forceClosed(TfmChartRC* rc) {
  if (rc->isVisible()) {
    rc->QDialog::done(QDialog::Rejected);
  }
}

// Picks the first entry of the graph-selection dialog and confirms it, recording its caption.
void chooseFirstGraph(QString* caption) {
  tarvik::testing::onNextModal([caption](QWidget* dialog) {
    *caption = dialog->windowTitle();
    auto* list = dialog->findChild<QListWidget*>("ListBox1");
    if (list == nullptr || list->count() == 0) {
      dialog->close();
      return;
    }
    list->clearSelection();
    list->item(0)->setSelected(true);
    dialog->findChild<QPushButton*>("btnOK")->click();
  });
}

}  // namespace

class TransformDialogsTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

 private slots:
  void installRegistersEveryComponentAndTheWindowHasTheThreeDialogs() {
    tarvik::app::CommandMap map;
    tarvik::app::installTransformActions(map);
    const char* names[] = {
        // point-wise, menu items then buttons
        "CdvigX", "MulX", "N22", "N36", "SdvigY", "MulY", "N15", "KorY", "KvadratY", "Modul", "N11",
        "Y1Y1", "N23", "ToolButton1", "ToolButton2", "ToolButton3", "ToolButton4", "ToolButton5",
        "ToolButton6", "ToolButton7", "ToolButton8", "ToolButton9", "ToolButton18", "ToolButton19",
        "ToolButton20", "ToolButton22", "ToolButton23", "ToolButton24", "ToolButton26",
        "ToolButton30",
        // sum and product, calculus and RC
        "Summa", "ToolButton11", "N17", "ToolButton12", "mnDiffer", "ToolButton13", "N5",
        "ToolButton14", "RC1", "RC2", "RC3",
        // running statistics and graph editing
        "ToolButton27", "ToolButton28", "ToolButton32", "N33", "Y2", "N25", "N21"};
    for (const char* name : names) {
      QVERIFY2(map.find(name) != nullptr, name);
    }
    QCOMPARE(map.all().size(), std::size(names));

    TfmChart window({}, settingsPath());
    const tarvik::dialogs::DialogRegistry& registry = window.dialogRegistry();
    auto* rc = dynamic_cast<TfmChartRC*>(registry.find("TfmChartRC"));
    auto* units = dynamic_cast<TfmSelectGrParam*>(registry.find("TfmSelectGrParam"));
    auto* two = dynamic_cast<TfmSelectTwoGr*>(registry.find("TfmSelectTwoGr"));
    QVERIFY(rc != nullptr && units != nullptr && two != nullptr);
    // Found under the names their options ask for.
    QCOMPARE(registry.find(RcOptions().dialogName()), rc);
    QCOMPARE(registry.find(EnergyUnitsOptions().dialogName()), units);
    QCOMPARE(registry.find(SpliceOptions().dialogName()), two);
    // Owned by the window: kept hidden until a command shows them.
    for (QDialog* d : std::initializer_list<QDialog*>{rc, units, two}) {
      QCOMPARE(d->parentWidget(), &window);
      QVERIFY(!d->isVisible());
    }
  }

  void rcDialogStartsAtItsDefaults() {
    TfmChartRC rc;
    QCOMPARE(rc.windowTitle(), QString("Постоянная интегрирорования/ дифференцироания"));
    QCOMPARE(rc.edTau()->text(), QString("15"));
    auto* model = rc.findChild<QCheckBox*>("cbRandomError");
    auto* levels = rc.findChild<QSpinBox*>("SpinEdit1");
    QVERIFY(model != nullptr && levels != nullptr);
    QVERIFY(!model->isChecked());
    QCOMPARE(levels->value(), 100);
    QCOMPARE(levels->minimum(), 5);
    QCOMPARE(levels->maximum(), 256);
  }

  void rcDialogCloseCheck_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("way");
    QTest::addColumn<QString>("refusal");  // empty: the dialog closes at once
    const QString bad = "Неверно задана постоянная времени!";
    QTest::newRow("letters, OK") << "abc" << int(OkButton) << bad;
    QTest::newRow("letters, Escape") << "abc" << int(EscapeKey) << bad;
    QTest::newRow("letters, window closed") << "abc" << int(WindowClose) << bad;
    QTest::newRow("empty") << "" << int(OkButton) << bad;
    QTest::newRow("comma decimal") << "30,0" << int(OkButton) << "";  // as "30.0"
    QTest::newRow("two decimal points") << "2,5.1" << int(OkButton) << bad;
    QTest::newRow("number then garbage") << "30ns" << int(OkButton) << bad;
    QTest::newRow("zero") << "0" << int(OkButton) << "Постоянная времени должна быть больше нуля!";
    QTest::newRow("negative") << "-5" << int(EscapeKey)
                              << "Постоянная времени должна быть больше нуля!";
    QTest::newRow("number, OK") << "30" << int(OkButton) << "";
    QTest::newRow("number, Escape") << "30" << int(EscapeKey) << "";
    QTest::newRow("number, window closed") << " 30 " << int(WindowClose) << "";
  }

  void rcDialogCloseCheck() {
    QFETCH(QString, typed);
    QFETCH(int, way);
    QFETCH(QString, refusal);
    TfmChartRC rc;
    RcOptions options;
    bool openAfterRefusal = false;
    bool closedAfterGoodText = false;
    bool ran = false;
    const QStringList seen = answeringMessages([&] {
      tarvik::testing::onNextModal([&](QWidget*) {
        rc.edTau()->setText(typed);
        tryToClose(&rc, way);  // a refusal's message box is answered inside
        if (refusal.isEmpty()) {
          return;
        }
        openAfterRefusal = rc.isVisible();
        rc.edTau()->setText("30");
        tryToClose(&rc, OkButton);
        closedAfterGoodText = !rc.isVisible();
        forceClosed(&rc);
      });
      ran = rc.run(options);
    });
    QVERIFY(ran);  // the dialog has no cancel
    QCOMPARE(options.tauNs, 30.0);
    QCOMPARE(options.tauSeconds(), 30e-9);
    if (refusal.isEmpty()) {
      QCOMPARE(seen, QStringList());
    } else {
      QCOMPARE(seen, QStringList{refusal});
      QVERIFY(openAfterRefusal);
      QVERIFY(closedAfterGoodText);
    }
  }

  void rcDialogLoadsAndWritesTheOptions() {
    TfmChartRC rc;
    RcOptions options;
    options.tauNs = 2.5;
    options.randomError = true;
    options.levels = 50;
    QString shownTau;
    bool shownModel = false;
    int shownLevels = 0;
    answeringMessages([&] {
      tarvik::testing::onNextModal([&](QWidget*) {
        shownTau = rc.edTau()->text();
        shownModel = rc.findChild<QCheckBox*>("cbRandomError")->isChecked();
        auto* levels = rc.findChild<QSpinBox*>("SpinEdit1");
        shownLevels = levels->value();
        levels->setValue(1000);  // held at the upper bound
        rc.findChild<QCheckBox*>("cbRandomError")->setChecked(false);
        rc.edTau()->setText("1e2");
        rc.findChild<QPushButton*>("OK")->click();
        forceClosed(&rc);
      });
      rc.run(options);
    });
    QCOMPARE(shownTau, QString("2.5"));
    QVERIFY(shownModel);
    QCOMPARE(shownLevels, 50);
    QCOMPARE(options.tauNs, 100.0);
    QVERIFY(!options.randomError);
    QCOMPARE(options.levels, 256);
  }

  void unitsDialogStartsAtNanosecondsAndAmperes() {
    TfmSelectGrParam units;
    QCOMPARE(units.windowTitle(), QString("Выбор параметров графиков"));
    QCOMPARE(units.comboBoxTime()->objectName(), QString("ComboBoxTime"));
    QCOMPARE(units.comboBoxScale()->objectName(), QString("ComboBoxScale"));
    QCOMPARE(entries(units.comboBoxTime()), (QStringList{"Секунды", "Миллисекунды", "Микросекунды",
                                                         "Наносекунды", "Пикосекунды"}));
    QCOMPARE(entries(units.comboBoxScale()),
             (QStringList{"Килоамперы", "Амперы", "Миллиамперы", "Микроамперы"}));
    QCOMPARE(units.comboBoxTime()->currentIndex(), 3);
    QCOMPARE(units.comboBoxScale()->currentIndex(), 1);
    QVERIFY(units.comboBoxTime()->isEditable());
    QVERIFY(units.comboBoxScale()->isEditable());
  }

  void unitsDialogReturnsTypedUnitsOnOk() {
    TfmSelectGrParam units;
    EnergyUnitsOptions options;
    options.timeUnit = "Микросекунды";
    QString shownTime, shownScale;
    bool ok = false;
    answeringMessages([&] {
      tarvik::testing::onNextModal([&](QWidget* dialog) {
        shownTime = units.comboBoxTime()->currentText();
        shownScale = units.comboBoxScale()->currentText();
        units.comboBoxScale()->lineEdit()->selectAll();
        units.comboBoxScale()->lineEdit()->insert("Микроамперы");  // QTest types Latin-1 only
        buttonWithText(dialog, "ОК")->click();
      });
      ok = units.run(options);
    });
    QVERIFY(ok);
    QCOMPARE(shownTime, QString("Микросекунды"));
    QCOMPARE(shownScale, QString("Амперы"));
    QCOMPARE(options.timeUnit, std::string("Микросекунды"));
    QCOMPARE(options.currentUnit, std::string("Микроамперы"));
    // A text the list does not hold is passed on as typed; the command judges it.
    tarvik::testing::onNextModal([&](QWidget* dialog) {
      units.comboBoxTime()->setEditText("пс");
      buttonWithText(dialog, "ОК")->click();
    });
    QVERIFY(units.run(options));
    QCOMPARE(options.timeUnit, std::string("пс"));
  }

  void unitsDialogCancelLeavesTheOptions() {
    TfmSelectGrParam units;
    EnergyUnitsOptions options;
    tarvik::testing::onNextModal([&](QWidget* dialog) {
      units.comboBoxScale()->setEditText("Килоамперы");
      buttonWithText(dialog, "Отмена")->click();
    });
    QVERIFY(!units.run(options));
    QCOMPARE(options.timeUnit, std::string("Наносекунды"));
    QCOMPARE(options.currentUnit, std::string("Амперы"));
  }

  void spliceDialogBoundsFollowTheGraphCount_data() {
    QTest::addColumn<int>("graphCount");
    QTest::addColumn<int>("first");  // the stored numbers the dialog is loaded with
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("typed");  // typed into both spin boxes
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("expected");
    QTest::newRow("three graphs") << 3 << 1 << 3 << 2 << 3 << 2;
    QTest::newRow("above the count") << 3 << 1 << 1 << 9 << 3 << 3;
    QTest::newRow("below one") << 3 << 2 << 2 << 0 << 3 << 1;
    QTest::newRow("stored numbers past a shrunk count") << 2 << 5 << 5 << -1 << 2 << 2;
    QTest::newRow("no graphs still one") << 0 << 1 << 1 << 4 << 1 << 1;
  }

  void spliceDialogBoundsFollowTheGraphCount() {
    QFETCH(int, graphCount);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, typed);
    QFETCH(int, maximum);
    QFETCH(int, expected);
    TfmSelectTwoGr two;
    QCOMPARE(two.windowTitle(), QString("Срастить графики"));
    SpliceOptions options;
    options.graphCount = graphCount;
    options.first = first;
    options.second = second;
    options.xText = "12.5";
    QString shownX;
    int shownMax1 = 0, shownMax2 = 0, shownMin = 0;
    tarvik::testing::onNextModal([&](QWidget* dialog) {
      shownX = two.edit1()->text();
      shownMax1 = two.spinEdit1()->maximum();
      shownMax2 = two.spinEdit2()->maximum();
      shownMin = std::min(two.spinEdit1()->minimum(), two.spinEdit2()->minimum());
      if (typed >= 0) {
        two.spinEdit1()->setValue(typed);
        two.spinEdit2()->setValue(typed);
      }
      two.edit1()->setText("7,5");
      buttonWithText(dialog, "OK")->click();
    });
    QVERIFY(two.run(options));
    QCOMPARE(shownX, QString("12.5"));
    QCOMPARE(shownMax1, maximum);
    QCOMPARE(shownMax2, maximum);
    QCOMPARE(shownMin, 1);
    QCOMPARE(options.first, expected);
    QCOMPARE(options.second, expected);
    QCOMPARE(options.xText, std::string("7,5"));  // read by the command, not the dialog
  }

  void spliceDialogCancelLeavesTheOptions() {
    TfmSelectTwoGr two;
    SpliceOptions options;
    options.graphCount = 4;
    options.first = 2;
    options.second = 3;
    options.xText = "1";
    tarvik::testing::onNextModal([&](QWidget* dialog) {
      two.spinEdit1()->setValue(4);
      two.edit1()->setText("99");
      auto* box = dialog->findChild<QDialogButtonBox*>();
      box->button(QDialogButtonBox::Cancel)->click();
    });
    QVERIFY(!two.run(options));
    QCOMPARE(options.first, 2);
    QCOMPARE(options.second, 3);
    QCOMPARE(options.xText, std::string("1"));
    // Escape cancels too.
    tarvik::testing::onNextModal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    QVERIFY(!two.run(options));
  }

  void windowInvertsTheChosenGraphFromTheMenu() {
    TfmChart w({}, settingsPath());
    const std::string path = QString(TARVIK_EXAMPLES_DIR "/pulse.grf").toStdString();
    QVERIFY(
        w.runGuarded([&path](CommandContext& ctx) { QVERIFY(tarvik::openFiles(ctx, {path})); }));
    QCOMPARE(w.store().count(), std::size_t{1});
    const tarvik::Graph before = w.store().graph(0);
    QVERIFY(before.size() > 100);
    QVERIFY(before.maxY() > 0);

    QString caption;
    chooseFirstGraph(&caption);
    auto* item = w.findChild<QAction*>("N11");
    QVERIFY(item != nullptr);
    item->trigger();
    QCOMPARE(caption, QString("Выбрать графики для инверсии по Y"));

    const tarvik::Graph& after = w.store().graph(0);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.title, before.title);
    for (std::size_t i = 0; i < before.size(); ++i) {
      QCOMPARE(after.x(i), before.x(i));
      QCOMPARE(after.y(i), -before.y(i));
    }
    // The chart draws the new values.
    bool found = false;
    const QCPRange drawn = w.chart()->plottableForGraph(0)->getValueRange(found);
    QVERIFY(found);
    QCOMPARE(drawn.lower, -before.maxY());
    QCOMPARE(drawn.upper, -before.minY());

    // The toolbar button runs the same command: inverting again gives the file's values.
    chooseFirstGraph(&caption);
    w.findChild<QAction*>("ToolButton7")->trigger();
    QVERIFY(std::equal(after.ys().begin(), after.ys().end(), before.ys().begin()));
  }

  void windowRcDifferentiationUsesTheTimeConstantOfItsDialog() {
    TfmChart w({}, settingsPath());
    // A constant 1 from X = 0 ns: the circuit's output decays as e^(−X / τ).
    w.runGuarded([](CommandContext& ctx) {
      tarvik::Graph g;
      g.title = "U";
      for (int i = 0; i <= 60; ++i) {
        g.appendPoint(i, 1.0);
      }
      ctx.store.attachGraph(std::move(g), "U");
      ctx.store.setActiveIndex(0);
    });
    QCOMPARE(w.store().count(), std::size_t{1});

    auto* rc = dynamic_cast<TfmChartRC*>(w.dialogRegistry().find("TfmChartRC"));
    QVERIFY(rc != nullptr);
    QString shownFirst;
    tarvik::testing::onNextModal([&](QWidget*) {
      shownFirst = rc->edTau()->text();
      rc->edTau()->setText("30");
      rc->findChild<QPushButton*>("OK")->click();
      forceClosed(rc);
    });
    w.findChild<QAction*>("RC2")->trigger();
    QCOMPARE(shownFirst, QString("15"));

    QString caption;
    chooseFirstGraph(&caption);
    w.findChild<QAction*>("RC1")->trigger();
    QCOMPARE(caption, QString("Выбрать графики для дифференцирования"));
    const tarvik::Graph& out = w.store().graph(0);
    QCOMPARE(out.title, std::string("U(дифф)"));
    QCOMPARE(out.size(), std::size_t{61});
    for (std::size_t i = 0; i < out.size(); ++i) {
      const double expected = std::exp(-static_cast<double>(i) / 30.0);
      QVERIFY2(std::abs(out.y(i) - expected) < 1e-12, qPrintable(QString::number(i)));
    }

    // The time constant stays for the next use of the dialog.
    QString shownAgain;
    tarvik::testing::onNextModal([&](QWidget*) {
      shownAgain = rc->edTau()->text();
      rc->findChild<QPushButton*>("OK")->click();
      forceClosed(rc);
    });
    w.findChild<QAction*>("RC2")->trigger();
    QCOMPARE(shownAgain, QString("30"));
  }
};

QTEST_MAIN(TransformDialogsTest)
#include "TransformDialogsTest.moc"
