// The generator and model dialogs typed into as a user does, through the real main window:
// the three-exponential pulse (with its stop button), the polar dielectric and the
// reflected-signal delay, and the menu commands that need no dialog.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"

using tarvik::app::TfmChart;
using tarvik::testing::answerNextMessage;
using tarvik::testing::onNextModal;
using tarvik::testing::pressKey;
using tarvik::testing::SeenMessage;
using tarvik::testing::typeText;

namespace {

// Clicks, as the mouse does, whatever lies under `target`'s point `inTarget` (its middle
// by default) in `dialog`.
void clickOn(QWidget* dialog, QWidget* target, QPoint inTarget = {-1, -1}) {
  QVERIFY(target != nullptr);
  if (inTarget.x() < 0) {
    inTarget = target->rect().center();
  }
  const QPoint at = target->mapTo(dialog, inTarget);
  QWidget* under = dialog->childAt(at);
  QVERIFY(under != nullptr);
  QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, under->mapFrom(dialog, at));
}

QPushButton* buttonWithText(QWidget* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
    if (b->text() == text && b->isVisible()) {
      return b;
    }
  }
  return nullptr;
}

// Moves the focus on by `count` fields, as the Tab key does.
void tab(QWidget* dialog, int count) {
  for (int i = 0; i < count; ++i) {
    pressKey(dialog, Qt::Key_Tab);
  }
}

}  // namespace

class SynthDialogsTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

 private slots:
  void initTestCase() {
    QDir(m_dir.path()).mkpath("run");
    qputenv("XDG_RUNTIME_DIR", m_dir.filePath("run").toUtf8());
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
  }

  void threeExpDialogTypedIntoDrawsThePulse() {
    TfmChart w({}, settingsPath());
    QString caption;
    bool formulaBold = false;
    onNextModal([&](QWidget* dialog) {
      caption = dialog->windowTitle();
      for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->text().startsWith("f(t)=A*(K1*exp(-T1*t)")) {
          formulaBold = label->font().bold();
        }
      }
      typeText(dialog, "2");  // A, the first field, comes selected
      tab(dialog, 7);         // K1, K2, K3, T1, T2, T3, then the end time
      typeText(dialog, "1e-6");
      pressKey(dialog, Qt::Key_Return);  // "Нарисовать" is the default button
    });
    QVERIFY(w.runCommand("N31"));
    QCOMPARE(caption, QString("Параметры 3-х экпоненциального импульса"));
    QVERIFY(formulaBold);
    QCOMPARE(w.store().count(), std::size_t(1));
    const tarvik::Graph& g = w.store().graph(0);
    QCOMPARE(QString::fromStdString(g.title), QString("З-х экспон. импульс"));
    QCOMPARE(g.size(), std::size_t(146));
    QVERIFY(std::fabs(g.y(20) - 2 * 0.9877212100981) < 1e-9);  // A = 2 scales the pulse
    QVERIFY(w.statusBar()->currentMessage().startsWith("Вычисление функции - "));

    // The texts stay as typed; "Не надо" draws nothing.
    QString shownA, shownEnd;
    onNextModal([&](QWidget* dialog) {
      shownA = dialog->findChild<QLineEdit*>("Edit7")->text();
      shownEnd = dialog->findChild<QLineEdit*>("Edit8")->text();
      clickOn(dialog, buttonWithText(dialog, "Не надо"));
    });
    QVERIFY(w.runCommand("N31"));
    QCOMPARE(shownA, QString("2"));
    QCOMPARE(shownEnd, QString("1e-6"));
    QCOMPARE(w.store().count(), std::size_t(1));
  }

  void threeExpRefusalShowsAMessageAndNoGraph() {
    TfmChart w({}, settingsPath());
    SeenMessage seen;
    onNextModal([&](QWidget* dialog) {
      tab(dialog, 8);  // the time step
      typeText(dialog, "0");
      clickOn(dialog, buttonWithText(dialog, "Нарисовать"));
      answerNextMessage(&seen);
    });
    QVERIFY(w.runCommand("N31"));
    QCOMPARE(seen.text, QString("Шаг по времени должен быть больше нуля"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(w.store().count(), std::size_t(0));
  }

  void stopButtonEndsTheThreeExpPulseKeepingItsPoints() {
    TfmChart w({}, settingsPath());
    w.show();
    auto* stop = w.findChild<QAbstractButton*>("btnStop");
    QVERIFY(stop != nullptr && stop->isHidden());
    bool stopShown = false;
    onNextModal([&](QWidget* dialog) {
      tab(dialog, 7);
      typeText(dialog, "0.19");  // about 9.5 million points
      clickOn(dialog, buttonWithText(dialog, "Нарисовать"));
      QTimer::singleShot(50, &w, [&] {
        stopShown = stop->isVisible();
        clickOn(&w, stop);
      });
    });
    QVERIFY(w.runCommand("N31"));
    QVERIFY(stopShown);
    QVERIFY(stop->isHidden());
    QCOMPARE(w.store().count(), std::size_t(1));
    const std::size_t made = w.store().graph(0).size();
    QVERIFY2(made > 0 && made < 9'000'000, qPrintable(QString::number(made)));
  }

  void polarDielectricDialogMakesTheTablesTicked() {
    TfmChart w({}, settingsPath());
    QString caption;
    onNextModal([&](QWidget* dialog) {
      caption = dialog->windowTitle();
      typeText(dialog, "80");  // εs
      // No permittivity: a click on the check box's square at its left end.
      auto* permittivity = dialog->findChild<QCheckBox*>("CheckBox1");
      clickOn(dialog, permittivity, {8, permittivity->height() / 2});
      pressKey(dialog, Qt::Key_Return);
    });
    QVERIFY(w.runCommand("N28"));
    QCOMPARE(caption, QString("Задание свойств полярного диэлектрика"));
    QCOMPARE(w.store().count(), std::size_t(1));
    QCOMPARE(QString::fromStdString(w.store().graph(0).title),
             QString("Проводимость, См/м (80/15/6.67e-9/0.64)"));
    QCOMPARE(w.store().graph(0).size(), std::size_t(51));
    QCOMPARE(QString::fromStdString(w.store().sourceFile(0)), QString("Без имени-1"));
    QVERIFY(QDir(m_dir.filePath("run/tarvik")).isEmpty());
  }

  void polarDielectricTakesACommaUnderAPointLocaleAndRefusesInRussian() {
    const QLocale before;
    QLocale::setDefault(QLocale::c());  // "." is the locale's decimal point
    TfmChart w({}, settingsPath());
    onNextModal([&](QWidget* dialog) {
      typeText(dialog, "80,5");  // εs with the other separator, as the value dialog takes it
      auto* permittivity = dialog->findChild<QCheckBox*>("CheckBox1");
      clickOn(dialog, permittivity, {8, permittivity->height() / 2});
      pressKey(dialog, Qt::Key_Return);
    });
    // A refusal here would be a message box nobody expects: it is closed and recorded.
    QString unexpected;
    QTimer guard;
    guard.setInterval(50);
    connect(&guard, &QTimer::timeout, [&unexpected] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        unexpected = box->text();
        box->reject();
      }
    });
    guard.start();
    QVERIFY(w.runCommand("N28"));
    guard.stop();
    QCOMPARE(unexpected, QString());
    QCOMPARE(w.store().count(), std::size_t(1));

    SeenMessage refused;
    onNextModal([&](QWidget* dialog) {
      typeText(dialog, "8o");
      answerNextMessage(&refused);
      pressKey(dialog, Qt::Key_Return);
    });
    QVERIFY(w.runCommand("N28"));
    QLocale::setDefault(before);
    QCOMPARE(refused.icon, QMessageBox::Critical);
    QCOMPARE(refused.text, QString("'8o' — не число"));
    QCOMPARE(w.store().count(), std::size_t(1));
  }

  void distanceDialogWithTheSecondModel() {
    TfmChart w({}, settingsPath());
    QString caption;
    onNextModal([&](QWidget* dialog) {
      caption = dialog->windowTitle();
      tab(dialog, 1);  // H2
      typeText(dialog, "10.5");
      clickOn(dialog, dialog->findChild<QRadioButton*>("RadioButton2"));
      clickOn(dialog, buttonWithText(dialog, "OK"));
    });
    QVERIFY(w.runCommand("N32"));
    QCOMPARE(caption, QString("Параметры для расчета задержки"));
    QCOMPARE(w.store().count(), std::size_t(1));
    const tarvik::Graph& g = w.store().graph(0);
    QCOMPARE(QString::fromStdString(g.title), QString("Задержка при H1= 5 и L= 10"));
    QCOMPARE(g.size(), std::size_t(11));
    QVERIFY(std::fabs(g.y(0) - 12.732) < 5e-4);
    QCOMPARE(QString::fromStdString(w.store().bottomAxisTitle), QString("h, м"));
  }

  void menuCommandsWithoutDialogs() {
    TfmChart w({}, settingsPath());
    for (const char* name : {"ImpRect", "SinXX1", "Re1", "Im1", "N29"}) {
      QVERIFY2(w.runCommand(name), name);
    }
    QCOMPARE(w.store().count(), std::size_t(5));
    const char* titles[] = {"Погрешность при Т=1 с", "Sin(X)/X", "Вода Re", "Вода Im{eps}",
                            "Вода - проводимость, См/м"};
    for (std::size_t i = 0; i < 5; ++i) {
      QCOMPARE(QString::fromStdString(w.store().graph(i).title), QString(titles[i]));
    }
    QVERIFY(QFile::exists(m_dir.filePath("data/tarvik/Streem.txt")));
    QVERIFY(!QFile::exists(QDir::current().filePath("Streem.txt")));
    // The hidden items are in the menu, routed, and not shown.
    for (const char* name : {"N31", "N32"}) {
      auto* action = w.findChild<QAction*>(name);
      QVERIFY2(action != nullptr && !action->isVisible(), name);
    }
  }
};

QTEST_MAIN(SynthDialogsTest)
#include "SynthDialogsTest.moc"
