// The filter dialog TfmFilter: its defaults, keys reaching its fields in their order, the
// settings file, and the menu item running the command through the real main window.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "dialogs/ChartFilter.h"
#include "spectral/FilterCommand.h"
#include "spectral/MedianFilter.h"

using tarvik::CommandContext;
using tarvik::app::TfmChart;
using tarvik::dialogs::TfmFilter;
using tarvik::spectral::FilterOptions;

class FilterDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

 private slots:
  void opensAtItsDefaultsAndKeysReachTheFieldsInOrder() {
    TfmFilter dialog;
    QCOMPARE(dialog.windowTitle(), QString("Фильтр"));
    FilterOptions shown;
    dialog.readFields(shown);
    const FilterOptions defaults;
    QCOMPARE(shown.kind, defaults.kind);
    QCOMPARE(shown.order, std::string("4"));
    QCOMPARE(shown.cutoff, std::string());
    QCOMPARE(shown.taps, std::string("101"));
    QCOMPARE(shown.beta, std::string("8.6"));
    QCOMPARE(shown.width, std::string("5"));
    QCOMPARE(shown.polyorder, std::string("2"));

    // The kind list has the focus; Tab goes on to the band, the order and the cutoff (the
    // second cutoff, the ripple and the FIR fields are disabled for a Butterworth low-pass).
    QString focusedFirst;
    bool shot = true;
    tarvik::testing::onNextModal([&](QWidget* modal) {
      // TARVIK_FILTER_SCREENSHOT=FILE.png: the dialog as it opens, at its default size.
      if (const QByteArray path = qgetenv("TARVIK_FILTER_SCREENSHOT"); !path.isEmpty()) {
        shot = modal->grab().save(QString::fromLocal8Bit(path));
      }
      if (QWidget* focus = tarvik::testing::keyboardFocus(modal)) focusedFirst = focus->objectName();
      tarvik::testing::pressKey(modal, Qt::Key_Tab);
      tarvik::testing::pressKey(modal, Qt::Key_Down);  // high-pass
      tarvik::testing::pressKey(modal, Qt::Key_Tab);
      tarvik::testing::typeText(modal, "6");
      tarvik::testing::pressKey(modal, Qt::Key_Tab);
      tarvik::testing::typeText(modal, "2.5");
      tarvik::testing::pressKey(modal, Qt::Key_Return);
    });
    FilterOptions edited;
    QVERIFY(dialog.run(edited));
    QVERIFY(shot);
    QCOMPARE(focusedFirst, QString("cbKind"));
    QCOMPARE(edited.type, 1);
    QCOMPARE(edited.order, std::string("6"));
    QCOMPARE(edited.cutoff, std::string("2.5"));

    // Escape cancels and leaves the options as they came.
    tarvik::testing::onNextModal([](QWidget* modal) { tarvik::testing::pressKey(modal, Qt::Key_Escape); });
    FilterOptions untouched;
    QVERIFY(!dialog.run(untouched));
    QCOMPARE(untouched.order, std::string("4"));
  }

  void fieldsAreKeptInTheSettingsFile() {
    {
      TfmFilter dialog;
      tarvik::testing::onNextModal([](QWidget* modal) {
        modal->findChild<QComboBox*>("cbKind")->setCurrentIndex(6);
        modal->findChild<QLineEdit*>("edWidth")->setText("9");
        modal->findChild<QLineEdit*>("edPolyorder")->setText("3");
        modal->findChild<QLineEdit*>("edCutoff")->setText("12");
        modal->findChild<QComboBox*>("cbFreq")->setCurrentIndex(2);
        tarvik::testing::pressKey(modal, Qt::Key_Return);
      });
      FilterOptions o;
      QVERIFY(dialog.run(o));
      QSettings settings(m_dir.filePath("saved.INI"), QSettings::IniFormat);
      dialog.saveSettings(settings);
    }
    QSettings settings(m_dir.filePath("saved.INI"), QSettings::IniFormat);
    TfmFilter fresh;
    fresh.loadSettings(settings);
    FilterOptions o;
    fresh.readFields(o);
    QCOMPARE(o.kind, 6);
    QCOMPARE(o.width, std::string("9"));
    QCOMPARE(o.polyorder, std::string("3"));
    QCOMPARE(o.cutoff, std::string("12"));
    QCOMPARE(o.freqUnit, 2);
  }

  void menuItemPicksGraphsThenFilters() {
    TfmChart w({}, settingsPath());
    w.runGuarded([](CommandContext& ctx) {
      tarvik::Graph g;
      g.title = "U";
      for (int i = 0; i < 200; ++i) g.appendPoint(i, std::sin(i / 5.0) + (i % 7 == 0 ? 4.0 : 0.0));
      ctx.store.attachGraph(std::move(g), "U");
      ctx.store.setActiveIndex(0);
    });
    QString caption, dialogTitle;
    tarvik::testing::onNextModal([&](QWidget* selection) {
      caption = selection->windowTitle();
      // The filter dialog comes next: the median (five steps down the kind list).
      tarvik::testing::onNextModal([&](QWidget* modal) {
        dialogTitle = modal->windowTitle();
        for (int i = 0; i < 5; ++i) tarvik::testing::pressKey(modal, Qt::Key_Down);
        tarvik::testing::pressKey(modal, Qt::Key_Return);
      });
      auto* list = selection->findChild<QListWidget*>("ListBox1");
      list->item(0)->setSelected(true);
      selection->findChild<QPushButton*>("btnOK")->click();
    });
    auto* item = w.findChild<QAction*>("mnFilter");
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QString("Фильтр..."));
    item->trigger();
    QCOMPARE(caption, QString("Выбрать графики для фильтрации"));
    QCOMPARE(dialogTitle, QString("Фильтр"));
    QCOMPARE(w.store().count(), std::size_t{2});
    const tarvik::Graph& out = w.store().graph(1);
    QCOMPARE(out.title, std::string("Фильтр: U"));
    const std::vector<double> want = tarvik::spectral::medianFilter(w.store().graph(0).ys(), 5);
    QVERIFY(std::equal(want.begin(), want.end(), out.ys().begin()));
  }
};

QTEST_MAIN(FilterDialogTest)
#include "FilterDialogTest.moc"
