// The appearance dialogs of the window: the titles dialog with its font buttons and legend
// position, the legend titles memo, the lines dialog and the background colour, each run
// through its menu item with clicks and keys, and the chart drawing what they set.
#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "WindowTestSupport.h"
#include "view/ChartView.h"
#include "view/GraphPlottable.h"

using tarvik::ChartTextElement;
using tarvik::LineStyle;
using tarvik::Rgb;
using tarvik::app::TfmChart;
using tarvik::testing::onNextModal;
using tarvik::testing::openScope;

namespace {

// Clicks `target` as a mouse would, in its middle or at `inside` (its own coordinates):
// the event goes to whatever widget of `window` lies under that point.
void clickAt(QWidget* window, QWidget* target, bool twice = false, QPoint inside = {-1, -1}) {
  const QPoint at = inside.x() < 0 ? target->rect().center() : inside;
  const QPoint point = target->mapTo(window, at);
  QWidget* under = window->childAt(point);
  QVERIFY(under != nullptr);
  const QPoint local = under->mapFrom(window, point);
  if (twice) {
    QTest::mouseDClick(under, Qt::LeftButton, Qt::NoModifier, local);
  } else {
    QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, local);
  }
}

// Runs `action` on the next modal dialog of type T once it is shown (a dialog opened from
// another modal one).
template <class T>
void onNextModalOf(std::function<void(T*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (modal == nullptr || !modal->isVisible()) {
      return;
    }
    timer->stop();
    timer->deleteLater();
    action(modal);
  });
  timer->start();
}

// A radio button is clicked on its round indicator at the left.
void clickRadio(QWidget* window, QRadioButton* item) {
  clickAt(window, item, false, QPoint(8, item->height() / 2));
}

// Runs `checks` on the next modal dialog, then closes it if the checks left it open (a
// failed check must not leave the test waiting on the dialog).
void onDialog(std::function<void(QWidget*)> checks) {
  onNextModal([checks](QWidget* d) {
    checks(d);
    if (d->isVisible()) {
      d->close();
    }
  });
}

void answerFont(const QFont& font) {
  onNextModalOf<QFontDialog>([font](QFontDialog* d) {
    d->setCurrentFont(font);
    d->accept();
  });
}

QFont serif(int size, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Serif"), size);
  font.setBold(bold);
  return font;
}

void pressOk(QWidget* dialog) {
  clickAt(dialog, dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
}
void pressCancel(QWidget* dialog) {
  clickAt(dialog, dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel));
}

}  // namespace

class AppearanceDialogsTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }
  void trigger(TfmChart& w, const char* item) { w.findChild<QAction*>(item)->trigger(); }

 private slots:
  void titlesDialogShowsTheChartTextsAndTakesThemOnOk() {
    TfmChart w({}, settingsPath());
    w.show();
    openScope(w);
    w.store().titleLines = {"Импульс"};
    w.store().footLines = {"низ"};
    w.store().topAxisTitle = "верх";
    w.store().rightTitleAngle = 275;
    bool seen = false;
    onDialog([&seen](QWidget* d) {
      QCOMPARE(d->windowTitle(), QString("Оформление надписей"));
      QCOMPARE(d->findChild<QPlainTextEdit*>("MemoTitle")->toPlainText(), QString("Импульс\n"));
      QCOMPARE(d->findChild<QComboBox*>("edBottomAxis")->currentText(), QString("t, нс"));
      // The hidden fields are filled all the same.
      auto* top = d->findChild<QLineEdit*>("edTopAxis");
      QCOMPARE(top->text(), QString("верх"));
      QVERIFY(!top->isVisible());
      QCOMPARE(d->findChild<QLineEdit*>("edRightAngle")->text(), QString("275"));
      QVERIFY(!d->findChild<QLineEdit*>("edLeftAngle")->isVisible());
      // Font buttons: shown ones and their hints.
      const struct {
        const char* name;
        bool shown;
        const char* hint;
      } buttons[] = {{"SpeedButton1", true, "Фонт оцифровки"}, {"SpeedButton2", true, nullptr},
                     {"SpeedButton3", false, "Фонт"},          {"SpeedButton4", false, nullptr},
                     {"SpeedButton5", true, "Фонт"},           {"SpeedButton6", true, nullptr},
                     {"SpeedButton7", true, nullptr},          {"SpeedButton8", false, nullptr},
                     {"SpeedButton9", true, nullptr},          {"SpeedButton10", false, nullptr},
                     {"SpeedButton11", true, "Фонт"}};
      for (const auto& b : buttons) {
        auto* button = d->findChild<QToolButton*>(b.name);
        QVERIFY2(button != nullptr, b.name);
        QCOMPARE(button->isVisible(), b.shown);
        if (b.hint) {
          QCOMPARE(button->toolTip(), QString(b.hint));
        }
      }
      // A second title line typed at the end of the memo, a preset for the left axis.
      auto* memo = d->findChild<QPlainTextEdit*>("MemoTitle");
      clickAt(d, memo);
      tarvik::testing::pressKey(d, Qt::Key_End, Qt::ControlModifier);
      tarvik::testing::typeText(d, "B2");
      auto* left = d->findChild<QComboBox*>("edLeftAxis");
      QCOMPARE(left->count(), 8);
      QCOMPARE(left->itemText(7), QString("Спектральная плотность"));
      clickAt(d, left->lineEdit());
      tarvik::testing::pressKey(d, Qt::Key_A, Qt::ControlModifier);
      tarvik::testing::typeText(d, "Q, mC");
      seen = true;
      pressOk(d);
    });
    trigger(w, "Titles1");
    QVERIFY(seen);
    QCOMPARE(w.store().titleLines, (std::vector<std::string>{"Импульс", "B2"}));
    QCOMPARE(w.store().yAxisTitle, std::string("Q, mC"));
    QCOMPARE(w.store().topAxisTitle, std::string("верх"));
    QCOMPARE(w.store().rightTitleAngle, 275);
    QCOMPARE(w.chart()->titleText(), QString("Импульс\nB2"));
  }

  void cancelKeepsTextsButNotFontsOrTheLegendSide() {
    TfmChart w({}, settingsPath());
    w.show();
    openScope(w);
    const QFont legendBefore = w.chart()->elementFont(ChartTextElement::Legend);
    onDialog([](QWidget* d) {
      auto* memo = d->findChild<QPlainTextEdit*>("MemoFoot");
      clickAt(d, memo);
      tarvik::testing::typeText(d, "zz");
      for (QRadioButton* item : d->findChildren<QRadioButton*>()) {
        if (item->text() == "справа") {
          clickRadio(d, item);
        }
      }
      answerFont(serif(17));
      clickAt(d, d->findChild<QToolButton*>("SpeedButton11"));
      pressCancel(d);
    });
    trigger(w, "Titles1");
    QCOMPARE(w.store().footLines, (std::vector<std::string>{""}));
    QVERIFY(w.store().legendRight);
    QCOMPARE(w.chart()->legendAlignment(), tarvik::view::LegendAlignment::Right);
    const QFont legend = w.chart()->elementFont(ChartTextElement::Legend);
    QVERIFY(legend != legendBefore);
    QCOMPARE(legend.family(), QString("DejaVu Serif"));
    QCOMPARE(legend.pointSize(), 17);
    // The other texts kept theirs.
    QCOMPARE(w.chart()->elementFont(ChartTextElement::Title).pointSize(), 10);
  }

  void oneFontForAllReachesTheSevenSavedTextsAndOnlyFaceAndSizeSurvive() {
    {
      TfmChart w({}, settingsPath());
      w.show();
      openScope(w);
      const QFont topBefore = w.chart()->elementFont(ChartTextElement::TopTitle);
      onDialog([](QWidget* d) {
        answerFont(serif(15, true));
        clickAt(d, d->findChild<QPushButton*>("Button1"));
        pressOk(d);
      });
      trigger(w, "Titles1");
      for (ChartTextElement e : tarvik::kSavedFontElements) {
        const QFont f = w.chart()->elementFont(e);
        QCOMPARE(f.family(), QString("DejaVu Serif"));
        QCOMPARE(f.pointSize(), 15);
        QVERIFY(f.bold());
      }
      QCOMPARE(w.chart()->elementFont(ChartTextElement::TopTitle), topBefore);
      QVERIFY(w.close());
    }
    TfmChart again({}, settingsPath());
    for (ChartTextElement e : tarvik::kSavedFontElements) {
      const QFont f = again.chart()->elementFont(e);
      QCOMPARE(f.family(), QString("DejaVu Serif"));
      QCOMPARE(f.pointSize(), 15);
      QVERIFY(!f.bold());
    }
    QFile::remove(settingsPath());
  }

  void oneFontForAllOpensOnTheFontTheTextsShare() {
    TfmChart w({}, settingsPath());
    w.show();
    openScope(w);
    tarvik::app::ChartFonts fonts;
    for (tarvik::app::FontSetting& f : fonts) {
      f = {QStringLiteral("DejaVu Serif"), 13};
    }
    fonts[static_cast<std::size_t>(tarvik::app::ChartFont::BottomLegend)] = {
        QStringLiteral("DejaVu Sans Mono"), 8};  // one text apart from the others
    w.setFonts(fonts);
    QFont offered;
    onDialog([&offered](QWidget* d) {
      onNextModalOf<QFontDialog>([&offered](QFontDialog* f) {
        offered = f->currentFont();
        f->reject();
      });
      clickAt(d, d->findChild<QPushButton*>("Button1"));
      pressCancel(d);
    });
    trigger(w, "Titles1");
    QCOMPARE(offered.family(), QString("DejaVu Serif"));
    QCOMPARE(offered.pointSize(), 13);
    QVERIFY(!offered.bold());
    QVERIFY(!offered.italic());
    QFile::remove(settingsPath());
  }

  void legendTitlesMemoRenamesAndEscapeCancels() {
    TfmChart w({}, settingsPath());
    w.show();
    openScope(w);  // four graphs
    onDialog([](QWidget* d) {
      QCOMPARE(d->windowTitle(), QString("Редактор легенд"));
      QVERIFY(tarvik::testing::keyboardFocus(d) == d->findChild<QPlainTextEdit*>("Memo1"));
      tarvik::testing::pressKey(d, Qt::Key_A, Qt::ControlModifier);
      tarvik::testing::typeText(d, "one");
      tarvik::testing::pressKey(d, Qt::Key_Return);
      tarvik::testing::typeText(d, "two");
      QVERIFY(d->isVisible());  // Enter makes a new line, it does not close the dialog
      clickAt(d, d->findChild<QPushButton*>("btnOk"));
    });
    trigger(w, "Legengs1");
    QCOMPARE(w.store().graph(0).title, std::string("one"));
    QCOMPARE(w.store().graph(1).title, std::string("two"));
    QCOMPARE(w.store().graph(2).title, std::string());
    QCOMPARE(w.store().graph(3).title, std::string());

    onDialog([](QWidget* d) {
      tarvik::testing::typeText(d, "lost");
      tarvik::testing::pressKey(d, Qt::Key_Escape);
    });
    trigger(w, "Legengs1");
    QCOMPARE(w.store().graph(0).title, std::string("one"));
  }

  void linesDialogActsAtOnceAndLocksTheStyleAboveWidthOne() {
    TfmChart w({}, settingsPath());
    w.show();
    openScope(w);
    w.store().graph(0).lineStyle = LineStyle::Dot;
    const tarvik::Graph second = w.store().graph(1);
    onDialog([&w](QWidget* d) {
      QCOMPARE(d->windowTitle(), QString("Линии графика"));
      auto* box = d->findChild<QComboBox*>("ComboBox1");
      QCOMPARE(box->count(), 4);
      QCOMPARE(box->currentIndex(), 0);  // the first graph although the fourth is active
      auto* group = d->findChild<QGroupBox*>("RadioGroup1");
      QList<QRadioButton*> items = group->findChildren<QRadioButton*>();
      QCOMPARE(items.size(), 5);
      QCOMPARE(items[2]->text(), QString("Мелкий пунктир  (2)"));
      QVERIFY(items[2]->isChecked());
      clickRadio(d, items[3]);  // "1+2"
      QCOMPARE(w.store().graph(0).lineStyle, LineStyle::DashDot);

      auto* width = d->findChild<QSpinBox*>("SpinEdit1");
      clickAt(d, width);
      tarvik::testing::pressKey(d, Qt::Key_A, Qt::ControlModifier);
      tarvik::testing::typeText(d, "3");
      QCOMPARE(w.store().graph(0).lineWidth, 3);
      QVERIFY(!group->isEnabled());
      QCOMPARE(w.chart()->plottableForGraph(0)->pen().width(), 3);
      tarvik::testing::pressKey(d, Qt::Key_A, Qt::ControlModifier);
      tarvik::testing::typeText(d, "1");
      QVERIFY(group->isEnabled());
      QCOMPARE(w.store().graph(0).lineStyle, LineStyle::DashDot);
      QCOMPARE(w.chart()->plottableForGraph(0)->pen().width(), 1);
      QCOMPARE(w.chart()->plottableForGraph(0)->pen().style(), Qt::DashDotLine);

      // The swatch's own colour dialog, preset with the graph's colour.
      const Rgb before = w.store().graph(0).colour;
      QColor preset;
      onNextModalOf<QColorDialog>([&preset](QColorDialog* c) {
        preset = c->currentColor();
        c->setCurrentColor(QColor(10, 20, 30));
        c->accept();
      });
      clickAt(d, d->findChild<QWidget*>("Image1"), true);
      QCOMPARE(preset, QColor(before.r, before.g, before.b));
      QCOMPARE(w.store().graph(0).colour, (Rgb{10, 20, 30}));
      QCOMPARE(d->findChild<QWidget*>("Image1")->palette().color(QPalette::Window),
               QColor(10, 20, 30));
      // Another graph shows its own line.
      box->setCurrentIndex(2);
      QCOMPARE(width->value(), 1);
      QVERIFY(items[0]->isChecked());
      d->close();
    });
    trigger(w, "Lines1");
    QCOMPARE(w.store().graph(1).colour, second.colour);
    QCOMPARE(w.store().graph(1).lineWidth, second.lineWidth);
  }

  void backgroundColourPaintsThePanelAndTheLegendFollows() {
    TfmChart w({}, settingsPath());
    w.resize(700, 500);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    openScope(w);
    onNextModalOf<QColorDialog>([](QColorDialog* c) {
      c->setCurrentColor(QColor(250, 240, 200));
      c->accept();
    });
    trigger(w, "Fon1");
    QCOMPARE(w.store().background, (Rgb{250, 240, 200}));
    QCOMPARE(w.store().legendColour, (Rgb{250, 240, 200}));
    const QImage picture = w.chart()->grab().toImage();
    QCOMPARE(QColor(picture.pixel(2, 2)), QColor(250, 240, 200));

    // Cancel: the panel stays, the legend colour is set from it again.
    w.store().legendColour = Rgb{255, 255, 255};
    onNextModalOf<QColorDialog>([](QColorDialog* c) { c->reject(); });
    trigger(w, "Fon1");
    QCOMPARE(w.store().background, (Rgb{250, 240, 200}));
    QCOMPARE(w.store().legendColour, (Rgb{250, 240, 200}));
  }

  void aTitleTakesARowAboveThePlot() {
    TfmChart w({}, settingsPath());
    w.resize(700, 500);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    openScope(w);
    tarvik::view::ChartView* chart = w.chart();
    chart->replot();
    const int topWithout = chart->axisRect()->rect().top();
    w.store().titleLines = {"первая", "вторая"};
    chart->syncWithStore();
    const int topWith = chart->axisRect()->rect().top();
    const int lineHeight = QFontMetrics(chart->elementFont(ChartTextElement::Title)).height();
    QVERIFY2(topWith >= topWithout + 2 * lineHeight,
             qPrintable(QString("%1 -> %2").arg(topWithout).arg(topWith)));
    QCOMPARE(chart->titleText(), QString("первая\nвторая"));
    // Empty lines only: no title and no room taken.
    w.store().titleLines = {"", ""};
    chart->syncWithStore();
    QCOMPARE(chart->axisRect()->rect().top(), topWithout);
  }
};

QTEST_MAIN(AppearanceDialogsTest)
#include "AppearanceDialogsTest.moc"
