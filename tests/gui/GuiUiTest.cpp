// The window's Ui port: file filters, message boxes, options dialogs by name, progress.
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <functional>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "app/RecentFiles.h"

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
        << "Файлы GRF, SIG, SRG, CSV, GPJ (*.grf *.sig *.srg *.csv *.gpj)";
    QTest::newRow("labelled") << "Файлы графиков(*.grf;*.sig;*.srg)"
                              << "Файлы графиков (*.grf *.sig *.srg)";
    QTest::newRow("every file") << "Все файлы(*.*)"
                                << "Все файлы (*)";
    QTest::newRow("bare label") << "Все файлы"
                                << "Все файлы (*)";
    QTest::newRow("bar form") << "Проекты(*.gpj)|*.gpj"
                              << "Проекты (*.gpj)";
    QTest::newRow("star dot star") << "*.*"
                                   << "Все файлы (*)";
    QTest::newRow("two patterns") << "*.srg;*.grf"
                                  << "Файлы SRG, GRF (*.srg *.grf)";
    QTest::newRow("unlabelled brackets") << "(*.bmp)"
                                         << "Файлы BMP (*.bmp)";
    QTest::newRow("a pattern of another shape") << "data*.txt"
                                                << "Файлы (data*.txt)";
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

  void openAndSaveDialogsShowEveryColumnWholeAndEachFilterOnce() {
    QTemporaryDir dir;
    QFile graph(dir.filePath("импульс разряда, канал 2.srg"));
    QVERIFY(graph.open(QIODevice::WriteOnly));
    for (int i = 0; i < 1200; ++i) {  // about 13 KiB of points
      graph.write(QString("%1 %2\r\n").arg(i).arg(i % 7).toUtf8());
    }
    graph.close();
    const QString ini = dir.filePath("t.INI");
    {
      QSettings settings(ini, QSettings::IniFormat);
      settings.setValue("Ini/IniDir", dir.path());
    }
    tarvik::app::TfmChart w({}, ini);
    w.show();
    struct Seen {
      QStringList filters;
      QStringList cut;  // columns narrower than their texts
      bool listed = false;
      int passedOthers = 0;
    };
    // Looks at the next file dialog; a graph-selection dialog before it is answered with
    // Enter (its one graph chosen).
    std::function<void(Seen*, const QString&)> look = [&look](Seen* seen, const QString& shot) {
      tarvik::testing::onNextModal([seen, shot, &look](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
          if (seen->passedOthers++ == 0) {
            look(seen, shot);
            tarvik::testing::pressKey(modal, Qt::Key_Return);
          } else {
            modal->close();
          }
          return;
        }
        seen->filters = dialog->nameFilters();
        auto* files = dialog->findChild<QTreeView*>("treeView");
        seen->listed =
            files != nullptr &&
            QTest::qWaitFor([files] { return files->model()->rowCount(files->rootIndex()) > 0; },
                            20000);
        if (seen->listed) {
          QTest::qWait(200);  // the icons and sizes arrive after the names
          const QAbstractItemView* view = files;  // the width its texts ask for is public here
          for (int c = 0; c < 4; ++c) {
            if (files->columnWidth(c) < view->sizeHintForColumn(c)) {
              seen->cut << QString("%1: %2 < %3")
                               .arg(c)
                               .arg(files->columnWidth(c))
                               .arg(view->sizeHintForColumn(c));
            }
          }
        }
        if (!qEnvironmentVariableIsEmpty("TARVIK_SHOTS")) {
          dialog->grab().save(qEnvironmentVariable("TARVIK_SHOTS") + "/" + shot);
        }
        dialog->reject();
      });
    };
    Seen open;
    look(&open, "open-dialog.png");
    QVERIFY(w.runCommand("btnOpen"));
    QVERIFY(open.listed);
    QVERIFY2(open.cut.isEmpty(), qPrintable(open.cut.join("; ")));
    QCOMPARE(open.filters.first(),
             QString("Файлы GRF, SIG, SRG, CSV, GPJ (*.grf *.sig *.srg *.csv *.gpj)"));
    QCOMPARE(open.filters.at(1), QString("Все файлы (*)"));

    tarvik::app::openFilesInWindow(w, {graph.fileName().toStdString()});
    Seen save;
    look(&save, "save-dialog.png");
    QVERIFY(w.runCommand("Save1"));
    QVERIFY(save.listed);
    QVERIFY2(save.cut.isEmpty(), qPrintable(save.cut.join("; ")));
    QCOMPARE(save.filters, QStringList({"Файлы SRG, GRF (*.srg *.grf)", "Все файлы (*)"}));
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
