// Routing of the window's elements to commands by component name. Every menu item, toolbar
// button, speed button and clickable label of the built window is activated the way a
// person would, with each installed handler replaced by one that records its name: an
// element must run the handler of its own name, and every handler must be reached by some
// element. A misspelt name on either side fails here instead of leaving a menu item that
// silently does nothing.
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "WindowTestSupport.h"

using tarvik::CommandContext;
using tarvik::app::TfmChart;

namespace {

// Elements whose commands are not built yet: they stay in place and do nothing. (None now;
// an element added to the layout before its command goes here.)
const QSet<QString> kCommandsToCome = {};

// Elements that are no command by design: "Графики в архив.." has none; the line-width
// switch is a setting the commands read; the stop button sets the stop request itself;
// clearing the recent-files list changes the list, not the document.
const QSet<QString> kNoCommand = {"mnExport2Db", "cbFixLine", "btnStop", "mnRecentClear"};

// The command items of a menu and of its submenus, in order.
void collectMenuItems(const QMenu* menu, QList<QAction*>& items) {
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) {
      continue;
    }
    if (action->menu() != nullptr) {
      collectMenuItems(action->menu(), items);
    } else {
      items << action;
    }
  }
}

class Recorder {
 public:
  // Replaces every handler of `w` by one that records the name it was installed under.
  explicit Recorder(TfmChart& w) {
    QStringList names;
    for (const auto& [name, handler] : w.commands().all()) {
      names << name;
    }
    for (const QString& name : names) {
      w.commands().add(name, [this, name](CommandContext&) { m_ran << name; });
      m_installed << name;
    }
  }
  // The handlers run by `activate`.
  QStringList run(const std::function<void()>& activate) {
    m_ran.clear();
    activate();
    m_reached.unite(QSet<QString>(m_ran.begin(), m_ran.end()));
    return m_ran;
  }
  QStringList unreached() const {
    QStringList names = (m_installed - m_reached).values();
    names.sort();
    return names;
  }

 private:
  QStringList m_ran;
  QSet<QString> m_installed;
  QSet<QString> m_reached;
};

}  // namespace

class CommandRoutingTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

  // Checks what activating element `name` ran; records the names it found unrouted.
  static void expectOwnHandler(const QString& name, const QStringList& ran, QStringList& unrouted) {
    if (ran.isEmpty()) {
      if (!kCommandsToCome.contains(name) && !kNoCommand.contains(name)) {
        unrouted << name;
      }
      return;
    }
    QVERIFY2(ran == QStringList{name}, qPrintable(name + " ran " + ran.join(",")));
    QVERIFY2(!kCommandsToCome.contains(name) && !kNoCommand.contains(name),
             qPrintable(name + " has a command now: take it off the list"));
  }

 private slots:
  void everyElementReachesItsHandlerAndEveryHandlerAnElement() {
    TfmChart w({}, m_dir.filePath("tarvik.INI"));
    tarvik::testing::openScope(w);  // graph items are enabled only with graphs
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Recorder recorder(w);
    QStringList unrouted;
    QSet<QString> seen;

    QList<QAction*> items;
    for (QAction* menu : w.menuBar()->actions()) {
      collectMenuItems(menu->menu(), items);
    }
    for (QToolBar* bar : w.findChildren<QToolBar*>()) {
      for (QAction* action : bar->actions()) {
        // Widgets placed on a toolbar (check box, radio buttons) are buttons below.
        if (!action->isSeparator() && qobject_cast<QToolButton*>(bar->widgetForAction(action))) {
          items << action;
        }
      }
    }
    for (QAction* action : items) {
      const QString name = action->objectName();
      QVERIFY2(!name.isEmpty(), qPrintable(action->text()));
      seen << name;
      action->setEnabled(true);  // the menus' own enabling is tested elsewhere
      expectOwnHandler(name, recorder.run([action] { action->trigger(); }), unrouted);
    }

    for (QAbstractButton* button : w.findChildren<QAbstractButton*>()) {
      auto* tool = qobject_cast<QToolButton*>(button);
      if (button->window() != &w || button->objectName().startsWith("qt_") ||
          (tool != nullptr && tool->defaultAction() != nullptr)) {
        continue;  // a dialog's button, a toolkit part, or an action's button (done above)
      }
      const QString name = button->objectName();
      QVERIFY2(!name.isEmpty(), qPrintable(button->text()));
      seen << name;
      expectOwnHandler(name, recorder.run([button] { button->click(); }), unrouted);
    }

    // Labels that take clicks (the active-graph indicator and the colour swatch).
    for (QLabel* label : w.findChildren<QLabel*>()) {
      if (label->window() != &w || label->objectName().isEmpty()) {
        continue;
      }
      const QStringList ran = recorder.run([label] { QTest::mouseClick(label, Qt::LeftButton); });
      if (!ran.isEmpty()) {
        seen << label->objectName();
        QCOMPARE(ran, QStringList{label->objectName()});
      }
    }

    QVERIFY2(unrouted.isEmpty(), qPrintable("no handler for " + unrouted.join(", ")));
    QVERIFY2(recorder.unreached().isEmpty(),
             qPrintable("no element for the handler " + recorder.unreached().join(", ")));
    for (const QString& name : kCommandsToCome + kNoCommand) {
      QVERIFY2(seen.contains(name), qPrintable(name + " is not an element of the window"));
    }
    QVERIFY(seen.size() > 100);
  }
};

QTEST_MAIN(CommandRoutingTest)
#include "CommandRoutingTest.moc"
