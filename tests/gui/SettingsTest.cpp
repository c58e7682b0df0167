// The settings file: its name and place, defaults, the round trip through a window's
// close and the next start, the remembered folder, and a window brought back on screen.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "app/Settings.h"
#include "view/ChartView.h"

using tarvik::app::ChartFont;
using tarvik::app::ChartFonts;
using tarvik::app::SettingsFile;
using tarvik::app::TfmChart;

namespace {

// An options dialog that records the settings calls the window makes.
class RecordingDialog : public tarvik::dialogs::OptionsDialog {
 public:
  bool run(tarvik::DialogOptions&) override { return false; }
  void loadSettings(QSettings&) override { ++loads; }
  void saveSettings(QSettings& s) override {
    ++saves;
    s.setValue("Spectr/edFMin", "5");
  }
  int loads = 0;
  int saves = 0;
};

// Answers the next file dialog, recording its name and start folder: types `path` where
// the keyboard focus is and presses Enter, or presses Escape when `path` is empty.
void answerFileDialog(QString* seen, const QString& path) {
  tarvik::testing::onNextModal([seen, path](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    if (dialog == nullptr) {
      w->close();
      return;
    }
    *seen = dialog->objectName() + " " + dialog->directory().absolutePath();
    QApplication::setActiveWindow(dialog);
    if (path.isEmpty()) {
      tarvik::testing::pressKey(dialog, Qt::Key_Escape);
      return;
    }
    tarvik::testing::typeText(dialog, path);
    tarvik::testing::pressKey(dialog, Qt::Key_Return);
  });
}

QString fileText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void fileIsNamedAfterTheExecutableInTheConfigFolder() {
    const QString path = SettingsFile::defaultPath();
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QCOMPARE(QFileInfo(path).fileName(), exe + ".INI");
    QVERIFY(
        path.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
  }

  void freshStartGivesTheDefaults() {
    QTemporaryDir dir;
    SettingsFile settings(dir.filePath("none.INI"));
    QCOMPARE(settings.iniDir(), QDir::homePath());
    for (const auto& font : settings.readFonts()) {
      QCOMPARE(font.name, QString("Arial"));
      QCOMPARE(font.size, 10);
    }
    const QRect current(11, 22, 333, 444);
    QCOMPARE(settings.readForm(current), current);
    QVERIFY(!QFile::exists(dir.filePath("none.INI")));  // nothing written by reading
  }

  void defaultFolderStandsForHome() {
    QTemporaryDir dir;
    SettingsFile settings(dir.filePath("t.INI"));
    settings.writeIniDir("C:\\");
    QCOMPARE(settings.iniDir(), QDir::homePath());
    settings.writeIniDir(dir.path());
    QCOMPARE(SettingsFile(dir.filePath("t.INI")).iniDir(), dir.path());
  }

  void rememberedFolderIsWrittenAtOnce() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.INI");
    TfmChart w({}, path);
    QCOMPARE(w.ui().folder(), QDir::homePath());
    w.ui().rememberFolder(dir.path().toStdString());
    QCOMPARE(w.ui().folder(), dir.path());
    QVERIFY(fileText(path).contains("[Ini]"));
    QCOMPARE(SettingsFile(path).iniDir(), dir.path());
  }

  // A file opened from one folder and one saved into another: the open dialog starts in
  // the first, the save dialog in the second, each for the rest of the run; the settings
  // file keeps the folder used last for the next start.
  void openAndSaveDialogsKeepTheirOwnFolders() {
    QTemporaryDir dir;
    const QString opened = dir.filePath("measured");
    const QString saved = dir.filePath("results");
    QVERIFY(QDir().mkpath(opened) && QDir().mkpath(saved));
    QFile file(opened + "/pulse.grf");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("0 1\n1 2\n");
    file.close();
    TfmChart w({}, dir.filePath("t.INI"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QString seen;
    answerFileDialog(&seen, opened + "/pulse.grf");
    QVERIFY(w.runCommand("Open1"));
    QCOMPARE(seen, "OpenD " + QDir::homePath());
    QCOMPARE(w.store().count(), std::size_t{1});
    // The save command's dialog and remembered folder, as it runs them.
    answerFileDialog(&seen, saved + "/copy.grf");
    const std::optional<std::string> path = w.ui().askSaveFile({});
    QVERIFY(path.has_value());
    w.ui().rememberFolder(saved.toStdString());
    QCOMPARE(seen, "SaveD " + QDir::homePath());

    answerFileDialog(&seen, QString());
    QVERIFY(w.runCommand("Open1"));
    QCOMPARE(seen, "OpenD " + opened);
    answerFileDialog(&seen, QString());
    QVERIFY(!w.ui().askSaveFile({}).has_value());
    QCOMPARE(seen, "SaveD " + saved);
    QCOMPARE(SettingsFile(dir.filePath("t.INI")).iniDir(), saved);
  }

  void closeWritesAndTheNextStartReads() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.INI");
    RecordingDialog recorder;
    {
      TfmChart w({}, path);
      ChartFonts fonts = w.fonts();
      fonts[static_cast<std::size_t>(ChartFont::Title)] = {"Liberation Serif", 14};
      fonts[static_cast<std::size_t>(ChartFont::BottomLegend)] = {"DejaVu Sans", 8};
      w.setFonts(fonts);
      w.dialogRegistry().add("TfmRecording", &recorder);
      w.show();
      QVERIFY(QTest::qWaitForWindowExposed(&w));
      w.move(40, 30);
      w.resize(760, 540);  // above the window's least size
      QVERIFY(w.close());
    }
    QCOMPARE(recorder.saves, 1);
    const QString text = fileText(path);
    for (const char* key :
         {"[Fonts]", "TitleFontName=Liberation Serif", "TitleFontSize=14", "FootFontName=Arial",
          "FootFontSize=10", "LeftAxisFontName=", "LeftAxisLabelsFontSize=", "BottomAxisFontName=",
          "BottomAxisLabelsFontName=", "BottomLegendFontSize=8", "[Form]",
          "Top=", "Left=", "Width=760", "Height=540", "[Spectr]"}) {
      QVERIFY2(text.contains(key), key);
    }

    TfmChart again({}, path);
    QCOMPARE(again.fonts()[0].name, QString("Liberation Serif"));
    QCOMPARE(again.fonts()[0].size, 14);
    QCOMPARE(again.fonts()[6].size, 8);
    // The chart's texts take the stored faces and sizes at start.
    QCOMPARE(again.chart()->legend->font().family(), QString("DejaVu Sans"));
    QCOMPARE(again.chart()->legend->font().pointSize(), 8);
    QCOMPARE(again.chart()->yAxis->tickLabelFont().pointSize(), 10);
    QCOMPARE(again.chart()->xAxis->labelFont().family(), QString("Arial"));
    QCOMPARE(again.chart()->footFont().pointSize(), 10);
    QCOMPARE(again.size(), QSize(760, 540));
    const QRect stored = SettingsFile(path).readForm({});
    QCOMPARE(again.pos(), stored.topLeft());
  }

  void windowWhollyOffEveryScreenComesBack() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.INI");
    {
      SettingsFile settings(path);
      settings.writeForm(QRect(-9000, 7000, 500, 300));
      settings.sync();
    }
    TfmChart w({}, path);
    const QRect placed(w.pos(), w.size());
    bool onScreen = false;
    for (const QScreen* s : QGuiApplication::screens()) {
      onScreen = onScreen || s->availableGeometry().intersects(placed);
    }
    QVERIFY(onScreen);
  }

  void placeOnScreens_data() {
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("expected");
    // Two screens side by side: 0..1919 and 1920..3199.
    QTest::newRow("inside") << QRect(100, 100, 400, 300) << QRect(100, 100, 400, 300);
    QTest::newRow("partly off stays") << QRect(-200, -50, 400, 300) << QRect(-200, -50, 400, 300);
    QTest::newRow("on the second") << QRect(2000, 100, 400, 300) << QRect(2000, 100, 400, 300);
    QTest::newRow("far left") << QRect(-5000, 100, 400, 300) << QRect(0, 100, 400, 300);
    QTest::newRow("far right") << QRect(9000, 200, 400, 300) << QRect(2800, 200, 400, 300);
    QTest::newRow("below the second") << QRect(2500, 5000, 400, 300) << QRect(2500, 724, 400, 300);
    QTest::newRow("too large") << QRect(-9000, -9000, 3000, 2000) << QRect(0, 0, 1920, 1024);
  }
  void placeOnScreens() {
    QFETCH(QRect, window);
    QFETCH(QRect, expected);
    const QList<QRect> screens{QRect(0, 0, 1920, 1024), QRect(1920, 0, 1280, 1024)};
    QCOMPARE(tarvik::app::placeOnScreens(window, screens), expected);
  }
};

QTEST_MAIN(SettingsTest)
#include "SettingsTest.moc"
