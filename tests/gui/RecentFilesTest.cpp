// The File menu's habits: the recent files (order, limit, kept in the settings file, a
// missing file, clearing) and the keyboard (standard shortcuts, menu mnemonics).
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/RecentFiles.h"

using tarvik::app::RecentFiles;
using tarvik::app::RecentList;
using tarvik::app::TfmChart;

namespace {

const QString kGrf = QString(TARVIK_EXAMPLES_DIR) + "/pulse.grf";
const QString kScope = QString(TARVIK_EXAMPLES_DIR) + "/pulse_scope.csv";
const QString kTwoColumn = QString(TARVIK_EXAMPLES_DIR) + "/pulse_two_column.csv";

RecentFiles& recentOf(const TfmChart& w) { return *tarvik::app::recentFilesOf(w); }

// The paths the submenu offers, in its order, and the captions of the other items.
QStringList menuPaths(const TfmChart& w) {
  QStringList paths;
  for (QAction* item : recentOf(w).menu()->actions()) {
    if (item->data().isValid()) {
      paths << item->data().toString();
    }
  }
  return paths;
}

QStringList savedPaths(const QString& settingsPath) {
  RecentList list;
  QSettings settings(settingsPath, QSettings::IniFormat);
  list.read(settings);
  return list.paths();
}

QAction* menuEntry(const TfmChart& w, const QString& path) {
  for (QAction* item : recentOf(w).menu()->actions()) {
    if (item->data().toString() == path) {
      return item;
    }
  }
  return nullptr;
}

// Answers the open dialog by typing `path` where the keyboard focus is and pressing Enter.
void answerOpenDialog(QString* dialogName, const QString& path) {
  tarvik::testing::onNextModal([dialogName, path](QWidget* w) {
    *dialogName = w->objectName();
    auto* dialog = qobject_cast<QFileDialog*>(w);
    if (dialog == nullptr) {
      w->close();
      return;
    }
    QApplication::setActiveWindow(dialog);
    tarvik::testing::typeText(dialog, path);
    tarvik::testing::pressKey(dialog, Qt::Key_Return);
  });
}

// Drags `path` over the shown window and drops it there.
void drop(TfmChart& w, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &event);
}

}  // namespace

class RecentFilesTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_dir;
  QString settingsPath() const { return m_dir->filePath("tarvik.INI"); }

 private slots:
  void init() { m_dir = std::make_unique<QTemporaryDir>(); }

  void theListKeepsTenNewestFirstEachOnce() {
    RecentList list;
    for (int i = 1; i <= 12; ++i) {
      list.add(QString("/data/f%1.grf").arg(i));
    }
    QCOMPARE(list.paths().size(), 10);
    QCOMPARE(list.paths().first(), QString("/data/f12.grf"));
    QCOMPARE(list.paths().last(), QString("/data/f3.grf"));
    list.add("/data/f7.grf");
    QCOMPARE(list.paths().size(), 10);
    QCOMPARE(list.paths().mid(0, 3),
             (QStringList{"/data/f7.grf", "/data/f12.grf", "/data/f11.grf"}));
    QCOMPARE(list.paths().count("/data/f7.grf"), 1);
    QVERIFY(list.remove("/data/f12.grf"));
    QVERIFY(!list.remove("/data/f12.grf"));
    QCOMPARE(list.paths().size(), 9);

    // Written as File1.. in section "Recent"; blanks and repeats of a hand-edited file are
    // skipped on reading.
    {
      QSettings settings(settingsPath(), QSettings::IniFormat);
      list.write(settings);
      settings.setValue("Recent/File3", "");
      settings.setValue("Recent/File4", "/data/f7.grf");
    }
    QSettings settings(settingsPath(), QSettings::IniFormat);
    QCOMPARE(settings.value("Recent/File1").toString(), QString("/data/f7.grf"));
    RecentList read;
    read.read(settings);
    QCOMPARE(read.paths().size(), 7);
    QCOMPARE(read.paths().mid(0, 3),
             (QStringList{"/data/f7.grf", "/data/f11.grf", "/data/f8.grf"}));
  }

  // The command line, a drop and the open dialog all record their files, newest first;
  // the submenu follows, sits right after the open item, and a restart shows the same list.
  void filesOpenedByAnyWayAreListedNewestFirst() {
    {
      TfmChart w({kGrf}, settingsPath());
      QCOMPARE(recentOf(w).paths(), QStringList{kGrf});
      w.show();
      QVERIFY(QTest::qWaitForWindowExposed(&w));
      drop(w, kScope);
      QTRY_COMPARE(recentOf(w).paths(), (QStringList{kScope, kGrf}));

      QString dialogName;
      answerOpenDialog(&dialogName, kTwoColumn);
      QVERIFY(w.runCommand("Open1"));
      QCOMPARE(dialogName, QString("OpenD"));
      QCOMPARE(recentOf(w).paths(), (QStringList{kTwoColumn, kScope, kGrf}));

      drop(w, kGrf);
      QTRY_COMPARE(recentOf(w).paths(), (QStringList{kGrf, kTwoColumn, kScope}));
      QCOMPARE(menuPaths(w), recentOf(w).paths());
      QCOMPARE(menuEntry(w, kGrf)->text(), "&1 " + kGrf);

      const QList<QAction*> file = w.findChild<QMenu*>("File1")->actions();
      const auto open = file.indexOf(w.findChild<QAction*>("Open1"));
      QCOMPARE(file[open + 1], recentOf(w).menu()->menuAction());
      QCOMPARE(recentOf(w).menu()->title(), QString("Последние файлы"));
      QCOMPARE(recentOf(w).menu()->actions().last()->text(), QString("Очистить список"));
    }
    QCOMPARE(savedPaths(settingsPath()), (QStringList{kGrf, kTwoColumn, kScope}));
    TfmChart again({}, settingsPath());
    QCOMPARE(menuPaths(again), (QStringList{kGrf, kTwoColumn, kScope}));
  }

  void aMissingFileIsDroppedWithTheOpenFailureMessage() {
    const QString missing = m_dir->filePath("gone.grf");
    {
      QSettings settings(settingsPath(), QSettings::IniFormat);
      settings.setValue("Recent/File1", missing);
      settings.setValue("Recent/File2", kGrf);
    }
    TfmChart w({}, settingsPath());
    tarvik::testing::SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen);
    menuEntry(w, missing)->trigger();
    QTRY_COMPARE(seen.text, "Невозможно открыть файл:" + missing);
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(recentOf(w).paths(), QStringList{kGrf});
    QCOMPARE(menuPaths(w), QStringList{kGrf});
    QCOMPARE(savedPaths(settingsPath()), QStringList{kGrf});
    QCOMPARE(w.store().count(), std::size_t{0});

    menuEntry(w, kGrf)->trigger();
    QTRY_COMPARE(w.store().count(), std::size_t{1});
    QCOMPARE(recentOf(w).paths(), QStringList{kGrf});
  }

  void clearingEmptiesTheListAndItsSection() {
    TfmChart w({kGrf}, settingsPath());
    QAction* clear = w.findChild<QAction*>("mnRecentClear");
    QVERIFY(clear->isEnabled());
    clear->trigger();
    QTRY_VERIFY(recentOf(w).paths().isEmpty());
    QVERIFY(menuPaths(w).isEmpty());
    QVERIFY(!w.findChild<QAction*>("mnRecentClear")->isEnabled());
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.beginGroup("Recent");
    QVERIFY(settings.childKeys().isEmpty());
  }

  // Ctrl+O, Ctrl+S, F1 and Ctrl+Q reach the same commands as their menu items.
  void standardShortcutsRunTheirItems() {
    TfmChart w({kGrf}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    auto modalAfter = [&w](Qt::Key key, Qt::KeyboardModifiers modifiers) {
      QString shown;
      tarvik::testing::onNextModal([&shown](QWidget* modal) {
        shown = modal->objectName() + "|" + modal->windowTitle();
        modal->close();
      });
      tarvik::testing::pressKey(&w, key, modifiers);
      QTest::qWait(50);
      return shown;
    };
    QTRY_VERIFY(modalAfter(Qt::Key_O, Qt::ControlModifier).startsWith("OpenD|"));
    QCOMPARE(w.store().count(), std::size_t{1});
    QVERIFY(modalAfter(Qt::Key_S, Qt::ControlModifier).endsWith("|Сохранить график"));

    QString viaMenu;
    tarvik::testing::onNextModal([&viaMenu](QWidget* modal) {
      viaMenu = modal->objectName() + "|" + modal->windowTitle();
      modal->close();
    });
    w.findChild<QAction*>("About1")->trigger();
    QTRY_VERIFY(!viaMenu.isEmpty());
    QCOMPARE(modalAfter(Qt::Key_F1, Qt::NoModifier), viaMenu);

    tarvik::testing::pressKey(&w, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!w.isVisible());
  }

  // Alt and the underlined letter open each top-level menu.
  void topLevelMenusOpenWithTheirMnemonics() {
    TfmChart w({kGrf}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (const char* name : {"File1", "mnVid", "Edit1", "Help1"}) {
      auto* menu = w.findChild<QMenu*>(name);
      const QKeySequence mnemonic = QKeySequence::mnemonic(menu->title());
      QVERIFY2(!mnemonic.isEmpty(), name);
      // A Cyrillic letter has no ASCII key code: the key goes with its text, as a Russian
      // keyboard layout sends it.
      QWidget* focus = tarvik::testing::keyboardFocus(&w);
      QVERIFY(focus != nullptr);
      const Qt::Key key = mnemonic[0].key();
      QTest::sendKeyEvent(QTest::Click, focus, key, QString(QChar(key)).toLower(), Qt::AltModifier);
      QTRY_VERIFY2(menu->isVisible(), name);
      menu->close();
      QTRY_VERIFY(!menu->isVisible());
    }
  }
};

QTEST_MAIN(RecentFilesTest)
#include "RecentFilesTest.moc"
