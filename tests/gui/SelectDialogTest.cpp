// The graph-selection dialog: entries, preselection, the two selection buttons and the
// chosen rows it hands back; and the same dialog behind the window's Ui port.
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "core/Command.h"
#include "dialogs/ChartSel.h"

using tarvik::GraphChoiceRequest;
using tarvik::dialogs::TfmSelectGr;

namespace {

GraphChoiceRequest threeEntries(int preselected) {
  GraphChoiceRequest r;
  r.caption = "Закрыть график";
  r.entries = {"1. a.grf: a", "2. b.grf: b", "3. c.grf: c"};
  r.preselected = preselected;
  return r;
}

QListWidget* listOf(QWidget* dialog) { return dialog->findChild<QListWidget*>("ListBox1"); }

// Selects exactly `rows` of the open dialog and presses its button `buttonName`.
void answerWith(QList<int> rows, QString buttonName) {
  tarvik::testing::onNextModal([rows, buttonName](QWidget* w) {
    QListWidget* list = listOf(w);
    list->clearSelection();
    for (int r : rows) {
      list->item(r)->setSelected(true);
    }
    w->findChild<QPushButton*>(buttonName)->click();
  });
}

}  // namespace

class SelectDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutAndTexts() {
    TfmSelectGr dialog;
    QCOMPARE(dialog.windowTitle(), QString("Выбор графика"));
    QListWidget* list = listOf(&dialog);
    QVERIFY(list != nullptr);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->statusTip(),
             QString("Выделите требуемые графики, используя  мышь и клавиши Shift или Ctrl"));
    QCOMPARE(dialog.findChild<QPushButton*>("Button2")->text(), QString("Выделить всё"));
    QCOMPARE(dialog.findChild<QPushButton*>("Button1")->text(), QString("Иверсия выделенного"));
    auto* ok = dialog.findChild<QPushButton*>("btnOK");
    QCOMPARE(ok->text(), QString("OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(dialog.findChild<QStatusBar*>()->currentMessage(), list->statusTip());
  }

  // The list's hint and a long caption show whole when the dialog opens.
  void hintAndCaptionShowWhole() {
    TfmSelectGr dialog;
    GraphChoiceRequest request = threeEntries(0);
    request.caption = "Выбрать графики для пребразования в децибелы";
    QString message;
    int messageRoom = 0;
    int width = 0;
    tarvik::testing::onNextModal([&](QWidget* w) {
      auto* status = w->findChild<QStatusBar*>();
      message = status->currentMessage();
      messageRoom = status->contentsRect().width();
      width = w->width();
      static_cast<QDialog*>(w)->reject();
    });
    QVERIFY(!dialog.choose(request).has_value());
    QCOMPARE(message, listOf(&dialog)->statusTip());
    // The status bar draws its message a few pixels in from either side.
    QVERIFY2(messageRoom >= dialog.fontMetrics().horizontalAdvance(message) + 12,
             qPrintable(QString::number(messageRoom)));
    QFont title = QApplication::font("QMdiSubWindowTitleBar");
    title.setBold(true);
    // Beside the caption a title bar holds the window icon and its buttons.
    QVERIFY(width >= QFontMetrics(title).horizontalAdvance(request.caption.c_str()) + 100);
  }

  void entriesAndPreselection() {
    TfmSelectGr dialog;
    dialog.load(threeEntries(2));
    QCOMPARE(dialog.windowTitle(), QString("Закрыть график"));
    QListWidget* list = listOf(&dialog);
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(1)->text(), QString("2. b.grf: b"));
    QCOMPARE(dialog.selectedRows(), (std::vector<int>{2}));

    dialog.load(threeEntries(-1));  // the list is rebuilt at every use
    QCOMPARE(list->count(), 3);
    QVERIFY(dialog.selectedRows().empty());
  }

  void selectAllAndInvert() {
    TfmSelectGr dialog;
    dialog.load(threeEntries(0));
    dialog.invertSelection();
    QCOMPARE(dialog.selectedRows(), (std::vector<int>{1, 2}));
    dialog.selectAll();
    QCOMPARE(dialog.selectedRows(), (std::vector<int>{0, 1, 2}));
    dialog.invertSelection();
    QVERIFY(dialog.selectedRows().empty());
  }

  void okReturnsTheChosenRows() {
    TfmSelectGr dialog;
    answerWith({0, 2}, "btnOK");
    const auto rows = dialog.choose(threeEntries(1));
    QVERIFY(rows.has_value());
    QCOMPARE(*rows, (std::vector<int>{0, 2}));
    QCOMPARE(dialog.selectedCount(), 2);

    answerWith({}, "btnOK");  // OK with nothing: an empty answer, the caller decides
    const auto none = dialog.choose(threeEntries(1));
    QVERIFY(none.has_value() && none->empty());

    answerWith({1}, "btnCancel");
    QVERIFY(!dialog.choose(threeEntries(1)).has_value());
  }

  void buttonsInsideTheRunningDialog() {
    TfmSelectGr dialog;
    tarvik::testing::onNextModal([](QWidget* w) {
      w->findChild<QPushButton*>("Button2")->click();  // all
      listOf(w)->item(1)->setSelected(false);
      w->findChild<QPushButton*>("Button1")->click();  // invert: only row 1 left
      w->findChild<QPushButton*>("btnOK")->click();
    });
    const auto rows = dialog.choose(threeEntries(0));
    QVERIFY(rows.has_value());
    QCOMPARE(*rows, (std::vector<int>{1}));
  }

  // The window's Ui port runs this dialog for the selection protocol of the commands.
  void pickGraphsThroughTheWindow() {
    QTemporaryDir dir;
    tarvik::app::TfmChart window({}, dir.filePath("t.INI"));
    for (const char* t : {"a", "b", "c"}) {
      window.store().appendGraph(t);
    }
    window.store().graph(1).tag = 1;  // not a candidate
    std::vector<std::size_t> picked;
    std::vector<QString> shown;
    tarvik::testing::onNextModal([&shown](QWidget* w) {
      QListWidget* list = listOf(w);
      for (int i = 0; i < list->count(); ++i) {
        shown.push_back(list->item(i)->text());
      }
      list->clearSelection();
      list->item(1)->setSelected(true);
      w->findChild<QPushButton*>("btnOK")->click();
    });
    window.runGuarded([&picked](tarvik::CommandContext& ctx) {
      picked = tarvik::pickGraphs(ctx, "Сложение графиков").value_or(picked);
    });
    QCOMPARE(shown, (std::vector<QString>{"1. a: a", "3. c: c"}));
    QCOMPARE(picked, (std::vector<std::size_t>{2}));
    QCOMPARE(window.selectDialog()->windowTitle(), QString("Сложение графиков"));
  }
};

QTEST_MAIN(SelectDialogTest)
#include "SelectDialogTest.moc"
