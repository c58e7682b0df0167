// The window's session items: where they stand in the File menu, the save and open
// dialogs answered as a person would, the question before graphs are replaced, the view
// (axes, log switch, fonts) brought back, and opening as one undoable change.
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "GuiTestSupport.h"
#include "WindowTestSupport.h"
#include "app/ChartMy.h"
#include "view/ChartView.h"

using tarvik::app::TfmChart;
using tarvik::testing::onNextModal;
using tarvik::testing::SeenMessage;

namespace {

QStringList itemNames(const QMenu* menu) {
  QStringList names;
  for (const QAction* a : menu->actions()) {
    names << (a->isSeparator() ? QString("-") : a->objectName());
  }
  return names;
}

struct SeenFileDialog {
  QString title, suffix;
  QStringList filters;
  bool shown = false;
};

// Answers the next file dialog by typing `path` where the keyboard focus is and pressing
// Enter (Escape when `path` is empty); `then` runs first, to answer what follows it.
void answerFileDialog(SeenFileDialog* seen, const QString& path, std::function<void()> then = {}) {
  onNextModal([seen, path, then](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    if (dialog == nullptr) {
      w->close();
      return;
    }
    seen->shown = true;
    seen->title = dialog->windowTitle();
    seen->suffix = dialog->defaultSuffix();
    seen->filters = dialog->nameFilters();
    if (then) {
      then();
    }
    // The offscreen platform has no window manager to give the new dialog the focus.
    QApplication::setActiveWindow(dialog);
    if (path.isEmpty()) {
      tarvik::testing::pressKey(dialog, Qt::Key_Escape);
      return;
    }
    tarvik::testing::typeText(dialog, path);
    tarvik::testing::pressKey(dialog, Qt::Key_Return);
  });
}

}  // namespace

class SessionActionsTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  TfmChart* m_window = nullptr;

  tarvik::view::ChartView* chart() const { return m_window->chart(); }
  QAction* logY() const { return m_window->findChild<QAction*>("LogY1"); }

 private slots:
  void init() {
    m_window = new TfmChart({}, m_dir.filePath("tarvik.INI"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
  }
  void cleanup() {
    delete m_window;
    m_window = nullptr;
  }

  void itemsStandAfterTheSaveItems() {
    const QStringList names = itemNames(m_window->findChild<QMenu*>("File1"));
    const qsizetype at = names.indexOf("Save1");
    QVERIFY(at >= 0);
    QCOMPARE(names.mid(at, 5),
             QStringList({"Save1", "N42", "mnSaveSession", "mnOpenSession", "N12"}));
    QCOMPARE(m_window->findChild<QAction*>("mnSaveSession")->text(), QString("Сохранить сеанс..."));
    QCOMPARE(m_window->findChild<QAction*>("mnOpenSession")->text(), QString("Открыть сеанс..."));
    QVERIFY(m_window->findChild<QAction*>("mnOpenSession")->isVisible());
  }

  void savedSessionComesBackWithItsView() {
    // Graphs a logarithmic Y axis can take: all values above zero.
    m_window->runGuarded([](tarvik::CommandContext& ctx) {
      for (const char* title : {"Канал «1»", "Канал 2"}) {
        const std::size_t i = ctx.store.appendGraph(title);
        ctx.store.graph(i).setPoints({1, 10, 100}, {2, 20, 200 + double(i)});
      }
    });
    logY()->trigger();  // through the menu: check mark and axis together
    QVERIFY(chart()->logY());
    chart()->zoomByPercent(115);
    tarvik::app::ChartFonts fonts = m_window->fonts();
    fonts[0].size = 17;
    m_window->setFonts(fonts);
    const tarvik::DocumentState saved = m_window->store().state();
    const tarvik::view::ViewState view = chart()->viewState();

    // Saving: the name typed without the extension gets ".h5".
    SeenFileDialog save;
    answerFileDialog(&save, m_dir.filePath("опыт"));
    QVERIFY(m_window->runCommand("mnSaveSession"));
    QVERIFY(save.shown);
    QCOMPARE(save.title, QString("Сохранение сеанса"));
    QCOMPARE(save.filters, QStringList({"Сеанс (*.h5)"}));
    QCOMPARE(save.suffix, QString("h5"));
    QVERIFY(QFile::exists(m_dir.filePath("опыт.h5")));
    QVERIFY(m_window->store().state().sameAs(saved));  // saving changes nothing

    // Everything changed, then the session opened: no graphs, so no question first.
    QVERIFY(m_window->runCommand("CloseAll1"));
    logY()->trigger();
    QVERIFY(!chart()->logY());
    m_window->setFonts(tarvik::app::ChartFonts{});
    SeenFileDialog open;
    answerFileDialog(&open, m_dir.filePath("опыт.h5"));
    QVERIFY(m_window->runCommand("mnOpenSession"));
    QCOMPARE(open.title, QString("Открытие сеанса"));
    QCOMPARE(open.filters, QStringList({"Сеанс (*.h5)"}));
    QVERIFY(m_window->store().state().sameAs(saved));
    QVERIFY(chart()->logY());
    QVERIFY(logY()->isChecked());
    QCOMPARE(m_window->fonts()[0].size, 17);
    const tarvik::view::ViewState back = chart()->viewState();
    QCOMPARE(back.bottom.automatic, view.bottom.automatic);
    QCOMPARE(back.bottom.limits.min, view.bottom.limits.min);
    QCOMPARE(back.bottom.limits.max, view.bottom.limits.max);
    QCOMPARE(back.left.limits.min, view.left.limits.min);
    QCOMPARE(back.left.limits.max, view.left.limits.max);

    // Opening was one change: undo gives the empty document back.
    QVERIFY(m_window->runCommand("mnUndo"));
    QCOMPARE(m_window->store().count(), std::size_t{0});
  }

  void openingOverGraphsAsksFirstAndABadFileChangesNothing() {
    tarvik::testing::openScope(*m_window);
    const tarvik::DocumentState before = m_window->store().state();

    // No: neither the file dialog nor a change.
    SeenMessage question;
    tarvik::testing::answerNextMessage(&question, QMessageBox::No);
    QVERIFY(m_window->runCommand("mnOpenSession"));
    QCOMPARE(question.text,
             QString("Открытые графики будут заменены графиками сеанса. Продолжить?"));
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);

    // Yes, then a file that is no session: the error box, the graphs stay.
    const QString foreign = m_dir.filePath("foreign.h5");
    QFile file(foreign);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("0 1\n1 2\n");
    file.close();
    SeenFileDialog open;
    SeenMessage error;
    onNextModal([&](QWidget* w) {
      answerFileDialog(&open, foreign, [&error] { tarvik::testing::answerNextMessage(&error); });
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
    });
    QVERIFY(m_window->runCommand("mnOpenSession"));
    QVERIFY(open.shown);
    QCOMPARE(error.icon, QMessageBox::Critical);
    QCOMPARE(error.text, "Файл " + foreign + " не является файлом сеанса");
    QVERIFY(m_window->store().state().sameAs(before));
  }
};

QTEST_MAIN(SessionActionsTest)
#include "SessionActionsTest.moc"
