// The file-association dialog driven as a user does (boxes clicked, "Закрыть", Escape), over
// the in-memory store and through the window's menu item; the desktop's own store in a
// temporary home, checked with the desktop's own query where xdg-mime is installed.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/AssociationActions.h"
#include "app/ChartMy.h"
#include "app/DesktopAssociations.h"
#include "dialogs/ChartExt.h"
#include "io/DesktopAssociationFiles.h"
#include "io/FileAssociations.h"

using tarvik::app::DesktopAssociationStore;
using tarvik::app::DesktopFolders;
using tarvik::dialogs::TfmFileAssoc;
using tarvik::io::AssociationStates;
using tarvik::io::MemoryAssociationStore;

namespace {

constexpr const char* kExe = "/opt/tarvik/bin/tarvik";

// A click where the pointer is: the event goes to whatever widget lies under the point.
void clickAt(QWidget* top, QPoint inTop) {
  QWidget* target = top->childAt(inTop);
  if (target == nullptr) {
    target = top;
  }
  QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(top, inTop));
}

QPoint centreOf(QWidget* top, QWidget* child) { return child->mapTo(top, child->rect().center()); }

// On the box's square, where a user clicks (the box may be wider than its square and text).
QPoint squareOf(QWidget* top, QCheckBox* box) {
  return box->mapTo(top, QPoint(box->rect().left() + 8, box->rect().center().y()));
}

// Clicks the boxes named by their extensions, then "Закрыть"; records the boxes as shown.
void clickBoxesAndClose(QStringList extensions, AssociationStates* shown) {
  tarvik::testing::onNextModal([extensions, shown](QWidget* w) {
    auto* dialog = qobject_cast<TfmFileAssoc*>(w);
    if (dialog == nullptr) {
      w->close();
      return;
    }
    *shown = dialog->states();
    for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
      if (extensions.contains(box->text())) {
        clickAt(dialog, squareOf(dialog, box));
      }
    }
    QPushButton* close = nullptr;
    for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
      if (b->text() == "Закрыть") {
        close = b;
      }
    }
    if (close == nullptr) {
      dialog->reject();
      return;
    }
    clickAt(dialog, centreOf(dialog, close));
  });
}

QString fileText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// xdg-mime run in the temporary home; empty when it is not installed.
QString xdgMime(const QStringList& arguments, const QString& home, const QString& folder) {
  const QString program = QStandardPaths::findExecutable("xdg-mime");
  if (program.isEmpty()) {
    return {};
  }
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home);
  env.insert("XDG_DATA_HOME", home + "/.local/share");
  env.insert("XDG_CONFIG_HOME", home + "/.config");
  env.remove("XDG_CURRENT_DESKTOP");
  env.remove("DESKTOP_SESSION");
  process.setProcessEnvironment(env);
  process.setWorkingDirectory(folder);
  process.start(program, arguments);
  process.waitForFinished(20000);
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

}  // namespace

class FileAssocDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void boxesShowTheStoreAndClicksChangeIt();
  void escapeClosesAndAppliesAsTheButtonDoes();
  void desktopStoreInATemporaryHome();
  void windowMenuItemOpensTheDialog();
  void listThatCannotBeReadIsNeverReplaced();
  void desktopsOwnListIsReadAndWrittenWhereItTakesEffect();
  void windowRefusesAListThatCannotBeRead();
};

void FileAssocDialogTest::boxesShowTheStoreAndClicksChangeIt() {
  TfmFileAssoc dialog;
  MemoryAssociationStore store;
  store.createKey(".grf");
  store.setDefaultValue(".grf", "OtherPlot.Document");
  store.createKey(".csv");
  store.setDefaultValue(".csv", "Tarvik.file");
  dialog.setStates({false, true, false, false, true});  // left from an earlier use

  AssociationStates shown{};
  clickBoxesAndClose({".grf", ".csv", ".rez"}, &shown);
  tarvik::app::runFileAssociations(dialog, store, kExe);

  // .grf and .csv from the store; .srg and .rez have no key and keep their boxes.
  QCOMPARE(shown, (AssociationStates{false, true, true, false, true}));
  QCOMPARE(dialog.states(), (AssociationStates{true, true, false, false, false}));
  const auto& keys = store.keys();
  QCOMPARE(keys.at(".grf"), std::optional<std::string>("Tarvik.file"));
  QCOMPARE(keys.at(".grf\\Old_Key"), std::optional<std::string>("OtherPlot.Document"));
  QCOMPARE(keys.at(".srg"), std::optional<std::string>("Tarvik.file"));
  QVERIFY(keys.count(".csv") == 0);  // ours, cleared, no backup: deleted
  QVERIFY(keys.count(".rez") == 0);
  QCOMPARE(keys.at("Tarvik.file\\shell\\open\\command"), std::optional<std::string>(kExe));
}

void FileAssocDialogTest::escapeClosesAndAppliesAsTheButtonDoes() {
  TfmFileAssoc dialog;
  MemoryAssociationStore store;
  QWidget* focus = nullptr;
  tarvik::testing::onNextModal([&focus](QWidget* w) {
    auto* d = qobject_cast<TfmFileAssoc*>(w);
    clickAt(d, squareOf(d, d->box(3)));  // .cal
    focus = tarvik::testing::keyboardFocus(d);
    tarvik::testing::pressKey(d, Qt::Key_Escape);
  });
  tarvik::app::runFileAssociations(dialog, store, kExe);
  QVERIFY(focus != nullptr);
  QVERIFY(!dialog.isVisible());
  QCOMPARE(store.keys().at(".cal"), std::optional<std::string>("Tarvik.file"));
  QCOMPARE(store.finishCount(), 1);
}

void FileAssocDialogTest::desktopStoreInATemporaryHome() {
  QTemporaryDir home;
  QVERIFY(home.isValid());
  const QString h = home.path();
  const DesktopFolders folders{h + "/.local/share", h + "/.config"};
  QVERIFY(QDir().mkpath(folders.configHome));
  writeFile(folders.configHome + "/mimeapps.list",
            "[Added Associations]\ntext/csv=calc.desktop;\n\n"
            "[Default Applications]\ntext/csv=calc.desktop;\ntext/plain=editor.desktop;\n");
  // The spreadsheet program the user had chosen for CSV files.
  QVERIFY(QDir().mkpath(folders.dataHome + "/applications"));
  writeFile(folders.dataHome + "/applications/calc.desktop",
            "[Desktop Entry]\nType=Application\nName=Calc\nExec=true %U\nMimeType=text/csv;\n");
  QSettings settings(h + "/tarvik.INI", QSettings::IniFormat);
  DesktopAssociationStore store(folders, settings);
  // The desktop's query skips an entry whose program is not there: this one is.
  const std::string exe = QCoreApplication::applicationFilePath().toStdString();

  tarvik::io::applyAssociations(store, {true, false, true, false, false}, exe);

  const QString list = fileText(store.mimeAppsPath());
  QVERIFY(
      list.contains("[Default Applications]\ntext/csv=tarvik.desktop;\n"
                    "text/plain=editor.desktop;\napplication/x-tarvik-grf=tarvik.desktop;\n"));
  QVERIFY(list.startsWith("[Added Associations]\ntext/csv=calc.desktop;\n"));
  settings.sync();
  QCOMPARE(settings.value("Old_Key/.csv").toString(), QString("calc.desktop;"));
  QVERIFY(!settings.contains("Old_Key/.grf"));
  const QString entry = fileText(store.desktopEntryPath());
  QVERIFY(entry.contains("\nExec=" + QString::fromStdString(exe) + " %F\n"));
  QVERIFY(entry.contains("\nIcon=tarvik\n"));
  QVERIFY(
      entry.contains("\nMimeType=application/x-tarvik-grf;application/x-tarvik-srg;"
                     "text/csv;application/x-tarvik-cal;application/x-tarvik-rez;"
                     "application/x-oscilloscope-wfm;application/x-oscilloscope-isf;"
                     "application/x-oscilloscope-trc;\n"));
  QVERIFY(fileText(store.mimePackagePath()).contains("<glob pattern=\"*.grf\"/>"));
  QVERIFY(QFile::exists(store.iconPath()));
  if (!QStandardPaths::findExecutable("update-mime-database").isEmpty()) {
    QVERIFY(fileText(folders.dataHome + "/mime/globs2").contains("application/x-tarvik-grf:*.grf"));
  }
  // The store reads back what it wrote, as the dialog sees it when activated again.
  QCOMPARE(tarvik::io::shownAssociations(store, {}),
           (AssociationStates{true, false, true, false, false}));

  if (QStandardPaths::findExecutable("xdg-mime").isEmpty()) {
    QSKIP("xdg-mime is not installed: the desktop's own query is not checked");
  }
  writeFile(h + "/x.grf", "0 1\n1 2\n");
  QCOMPARE(xdgMime({"query", "default", "text/csv"}, h, h), QString("tarvik.desktop"));
  QCOMPARE(xdgMime({"query", "default", "application/x-tarvik-grf"}, h, h),
           QString("tarvik.desktop"));
  QCOMPARE(xdgMime({"query", "filetype", "x.grf"}, h, h), QString("application/x-tarvik-grf"));

  // Both boxes cleared: the spreadsheet program comes back, .grf's default goes.
  tarvik::io::applyAssociations(store, {}, exe);
  const QString restored = fileText(store.mimeAppsPath());
  QVERIFY(restored.contains("[Default Applications]\ntext/csv=calc.desktop;\n"));
  QVERIFY(!restored.contains("application/x-tarvik-grf="));
  QCOMPARE(xdgMime({"query", "default", "text/csv"}, h, h), QString("calc.desktop"));
  QCOMPARE(settings.value("Old_Key/.csv").toString(), QString("calc.desktop;"));
}

void FileAssocDialogTest::windowMenuItemOpensTheDialog() {
  QTemporaryDir home;
  QVERIFY(home.isValid());
  qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  tarvik::app::TfmChart window({}, home.path() + "/tarvik.INI");
  window.show();

  AssociationStates shown{true, true, true, true, true};
  clickBoxesAndClose({".rez"}, &shown);
  QVERIFY(window.runCommand("N38"));
  QCOMPARE(shown, AssociationStates{});  // a fresh dialog, nothing in the store
  const QString list = fileText(home.path() + "/config/mimeapps.list");
  QCOMPARE(list, QString("[Default Applications]\napplication/x-tarvik-rez=tarvik.desktop;\n"));
  const QString exe = QCoreApplication::applicationFilePath();
  QVERIFY(fileText(home.path() + "/data/applications/tarvik.desktop")
              .contains("\nExec=" + exe + " %F\n"));
}

// The user may write the list but not read it (as the superuser, whom permission bits do
// not stop, the test makes the read fail through the store's reader): every change of an
// extension is refused and the list keeps the other programs' defaults.
void FileAssocDialogTest::listThatCannotBeReadIsNeverReplaced() {
  QTemporaryDir home;
  QVERIFY(home.isValid());
  const DesktopFolders folders{home.path() + "/.local/share", home.path() + "/.config"};
  QVERIFY(QDir().mkpath(folders.configHome));
  const QByteArray before =
      "[Default Applications]\ntext/csv=calc.desktop;\napplication/x-tarvik-rez=tarvik.desktop;\n"
      "text/plain=editor.desktop;\n";
  writeFile(folders.configHome + "/mimeapps.list", before);
  QSettings settings(home.path() + "/tarvik.INI", QSettings::IniFormat);
  settings.setValue("Old_Key/.rez", "viewer.desktop;");
  DesktopAssociationStore store(folders, settings);
  store.setMimeAppsReader([](const std::string&) { return tarvik::io::MimeAppsRead{false, {}}; });
  QVERIFY(!store.mimeAppsReadable());

  // .grf and .csv wanted, .rez no longer: each would rewrite the list.
  tarvik::io::applyAssociations(store, {true, false, true, false, false}, kExe);
  QCOMPARE(fileText(store.mimeAppsPath()).toUtf8(), before);
  QVERIFY(!store.deleteKey(".rez"));
  QCOMPARE(fileText(store.mimeAppsPath()).toUtf8(), before);
  settings.sync();
  QCOMPARE(settings.value("Old_Key/.rez").toString(), QString("viewer.desktop;"));
  QVERIFY(!settings.contains("Old_Key/.csv"));
}

// Under GNOME the desktop's own list names another program for CSV files while the general
// list still names ours: the box shows what the desktop follows, and ticking it writes the
// desktop's own list, where it takes effect; clearing it brings the other program back
// there. The general list is left as it was.
void FileAssocDialogTest::desktopsOwnListIsReadAndWrittenWhereItTakesEffect() {
  QTemporaryDir home;
  QVERIFY(home.isValid());
  DesktopFolders folders{home.path() + "/.local/share", home.path() + "/.config"};
  folders.desktops = QStringList{"gnome"};
  QVERIFY(QDir().mkpath(folders.configHome));
  const QString own = folders.configHome + "/gnome-mimeapps.list";
  writeFile(own, "[Default Applications]\ntext/csv=calc.desktop;\n");
  const QByteArray general =
      "[Default Applications]\ntext/csv=tarvik.desktop;\napplication/x-tarvik-grf=tarvik.desktop;\n";
  writeFile(folders.configHome + "/mimeapps.list", general);
  QSettings settings(home.path() + "/tarvik.INI", QSettings::IniFormat);
  DesktopAssociationStore store(folders, settings);

  QCOMPARE(tarvik::io::shownAssociations(store, {}),
           (AssociationStates{true, false, false, false, false}));
  tarvik::io::applyAssociations(store, {true, false, true, false, false}, kExe);
  QCOMPARE(fileText(own), QString("[Default Applications]\ntext/csv=tarvik.desktop;\n"));
  QCOMPARE(fileText(folders.configHome + "/mimeapps.list").toUtf8(), general);
  settings.sync();
  QCOMPARE(settings.value("Old_Key/.csv").toString(), QString("calc.desktop;"));
  QCOMPARE(tarvik::io::shownAssociations(store, {}),
           (AssociationStates{true, false, true, false, false}));

  tarvik::io::applyAssociations(store, {true, false, false, false, false}, kExe);
  QCOMPARE(fileText(own), QString("[Default Applications]\ntext/csv=calc.desktop;\n"));
  QCOMPARE(fileText(folders.configHome + "/mimeapps.list").toUtf8(), general);
}

// Through the menu item: a folder where the list should be cannot be read by anyone. The
// message comes before the dialog, and nothing at all is written.
void FileAssocDialogTest::windowRefusesAListThatCannotBeRead() {
  QTemporaryDir home;
  QVERIFY(home.isValid());
  qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  const QString list = home.path() + "/config/mimeapps.list";
  QVERIFY(QDir().mkpath(list));
  tarvik::app::TfmChart window({}, home.path() + "/tarvik.INI");
  window.show();

  tarvik::testing::SeenMessage seen;
  tarvik::testing::answerNextMessage(&seen);
  QVERIFY(window.runCommand("N38"));
  QCOMPARE(seen.icon, QMessageBox::Critical);
  QCOMPARE(seen.text,
           QString::fromStdString(tarvik::io::mimeAppsUnreadableText(list.toStdString())));
  QVERIFY(QFileInfo(list).isDir());
  QVERIFY(!QFileInfo::exists(home.path() + "/data"));
}

QTEST_MAIN(FileAssocDialogTest)
#include "FileAssocDialogTest.moc"
