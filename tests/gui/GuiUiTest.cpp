// The window's Ui port: file filters, message boxes, options dialogs by name, progress.
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/GuiUi.h"

using tarvik::app::toQtFileFilter;

namespace {

struct FakeOptions : tarvik::DialogOptions {
  std::string_view dialogName() const override { return "TfmFake"; }
  double value = 0;
};

class FakeDialog : public tarvik::dialogs::OptionsDialog {
 public:
  bool run(tarvik::DialogOptions& options) override {
    static_cast<FakeOptions&>(options).value = 2.5;
    return true;
  }
};

struct OtherOptions : tarvik::DialogOptions {
  std::string_view dialogName() const override { return "TfmUnknown"; }
};

}  // namespace

class GuiUiTest : public QObject {
  Q_OBJECT

 private slots:
  void fileFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("plain patterns")
        << "*.grf;*.sig;*.srg;*.csv;*.gpj"
        << "*.grf;*.sig;*.srg;*.csv;*.gpj (*.grf *.sig *.srg *.csv *.gpj)";
    QTest::newRow("labelled") << "Файлы графиков(*.grf;*.sig;*.srg)"
                              << "Файлы графиков (*.grf *.sig *.srg)";
    QTest::newRow("every file") << "Все файлы(*.*)"
                                << "Все файлы (*)";
    QTest::newRow("bare label") << "Все файлы"
                                << "Все файлы (*)";
    QTest::newRow("bar form") << "Проекты(*.gpj)|*.gpj"
                              << "Проекты (*.gpj)";
    QTest::newRow("star dot star") << "*.*"
                                   << "*.* (*)";
    QTest::newRow("two patterns") << "*.srg;*.grf"
                                  << "*.srg;*.grf (*.srg *.grf)";
    QTest::newRow("label, space and blank-separated patterns")
        << "Осциллограммы (*.wfm *.bin *.trc *.000 *.isf *.csv)"
        << "Осциллограммы (*.wfm *.bin *.trc *.000 *.isf *.csv)";
  }
  void fileFilters() {
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(toQtFileFilter(filter.toStdString()), qt);
  }

  void messagesAndQuestions() {
    QTemporaryDir dir;
    tarvik::app::TfmChart w({}, dir.filePath("t.INI"));
    tarvik::testing::SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen);
    w.ui().message(tarvik::MessageKind::Info, "Нет выбранных графиков");
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.text, QString("Нет выбранных графиков"));
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    tarvik::testing::answerNextMessage(&seen, QMessageBox::No);
    QVERIFY(!w.ui().question("Файл /tmp/a.srg уже есть. Переписать?"));
    QCOMPARE(seen.icon, QMessageBox::Question);
    QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    tarvik::testing::answerNextMessage(&seen, QMessageBox::Yes);
    QVERIFY(w.ui().question("Переписать?"));
  }

  void optionsDialogsAreFoundByName() {
    QTemporaryDir dir;
    tarvik::app::TfmChart w({}, dir.filePath("t.INI"));
    FakeDialog dialog;
    w.dialogRegistry().add("TfmFake", &dialog);
    FakeOptions options;
    QVERIFY(w.ui().editOptions(options));
    QCOMPARE(options.value, 2.5);
    OtherOptions other;
    QVERIFY(!w.ui().editOptions(other));  // no such dialog: as if cancelled
  }

  void progressGoesToTheStatusBar() {
    QTemporaryDir dir;
    tarvik::app::TfmChart w({}, dir.filePath("t.INI"));
    w.ui().progress("17%");
    QCOMPARE(w.statusBar()->currentMessage(), QString("17%"));
    w.ui().setBusy(true);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    w.ui().setBusy(false);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(w.ui().decimalSeparator(), QLocale().decimalPoint().at(0).toLatin1());
  }
};

QTEST_MAIN(GuiUiTest)
#include "GuiUiTest.moc"
