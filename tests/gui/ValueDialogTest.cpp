// The value dialog: the key filter of its field, its history file and its result.
#include <QComboBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "GuiTestSupport.h"
#include "dialogs/ChartVal.h"

using tarvik::dialogs::filterValueKey;
using tarvik::dialogs::TfmValue;
using tarvik::testing::pressKey;
using tarvik::testing::typeText;

namespace {

void writeLines(const QString& path, const QStringList& lines) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
  QTextStream out(&file);
  for (const QString& line : lines) {
    out << line << '\n';
  }
}

QStringList readLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    return {};
  }
  return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

}  // namespace

class ValueDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void keyFilter_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("inserted");  // empty: refused
    QTest::newRow("digit") << "12"
                           << "7"
                           << "7";
    QTest::newRow("minus") << ""
                           << "-"
                           << "-";
    QTest::newRow("small e") << "1"
                             << "e"
                             << "e";
    QTest::newRow("capital E") << "1"
                               << "E"
                               << "E";
    QTest::newRow("first point") << "1"
                                 << "."
                                 << ".";
    QTest::newRow("second point") << "1.5"
                                  << "."
                                  << "";
    QTest::newRow("comma becomes point") << "2"
                                         << ","
                                         << ".";
    QTest::newRow("comma after point") << "2.5"
                                       << ","
                                       << "";
    QTest::newRow("letter") << "1"
                            << "x"
                            << "";
    QTest::newRow("plus") << "1e"
                          << "+"
                          << "";
    QTest::newRow("blank") << "1"
                           << " "
                           << "";
  }
  void keyFilter() {
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QString, inserted);
    const std::optional<QChar> result = filterValueKey(text, key[0]);
    if (inserted.isEmpty()) {
      QVERIFY(!result.has_value());
    } else {
      QVERIFY(result.has_value());
      QCOMPARE(QString(*result), inserted);
    }
  }

  // Keys go where a keyboard sends them: to the focus widget of the shown dialog. The
  // field is cleared with the keyboard, the keys are typed and Enter ends the dialog.
  void typingInTheShownDialog_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("result");
    QTest::newRow("comma becomes point") << "2,5"
                                         << "2.5";
    QTest::newRow("second point refused") << "1.5."
                                          << "1.5";
    QTest::newRow("comma after point refused") << "2.5,"
                                               << "2.5";
    QTest::newRow("letters and blanks refused") << "-3a,e9x 1"
                                                << "-3.e91";
    QTest::newRow("capital E and Cyrillic") << "1Eб5"
                                            << "1E5";
    QTest::newRow("plus refused") << "1e+9"
                                  << "1e9";
  }
  void typingInTheShownDialog() {
    QFETCH(QString, keys);
    QFETCH(QString, result);
    QTemporaryDir dir;
    TfmValue dialog(nullptr, dir.filePath("TmpVal.txt"));
    dialog.setText("7.75");
    tarvik::testing::onNextModal([keys](QWidget* w) {
      pressKey(w, Qt::Key_A, Qt::ControlModifier);
      pressKey(w, Qt::Key_Delete);
      typeText(w, keys);
      pressKey(w, Qt::Key_Return);
      if (w->isVisible()) {
        static_cast<QDialog*>(w)->reject();  // Enter did not end it: the compare below fails
      }
    });
    const auto text = dialog.ask("Задать величину умножения по Y");
    QVERIFY(text.has_value());
    QCOMPARE(QString::fromStdString(*text), result);
  }

  void editingKeysKeepTheirMeaning() {
    QTemporaryDir dir;
    TfmValue dialog(nullptr, dir.filePath("TmpVal.txt"));
    dialog.setText("0");
    QString seen;
    tarvik::testing::onNextModal([&seen](QWidget* w) {
      typeText(w, "12.5");  // replaces the selected "0"
      pressKey(w, Qt::Key_Backspace);
      pressKey(w, Qt::Key_Left);
      pressKey(w, Qt::Key_Left);
      typeText(w, "9");
      pressKey(w, Qt::Key_End);
      typeText(w, "x7");
      seen = static_cast<TfmValue*>(w)->text();
      pressKey(w, Qt::Key_Escape);
    });
    QVERIFY(!dialog.ask("Сдвиг").has_value());
    QCOMPARE(seen, QString("192.7"));
  }

  void composedTextFollowsTheSameRule() {
    QTemporaryDir dir;
    TfmValue dialog(nullptr, dir.filePath("TmpVal.txt"));
    tarvik::testing::onNextModal([](QWidget* w) {
      if (QWidget* focus = tarvik::testing::keyboardFocus(w)) {
        QInputMethodEvent composed;
        composed.setCommitString("1a,5,б");  // what an input method hands over at once
        QApplication::sendEvent(focus, &composed);
      }
      static_cast<QDialog*>(w)->accept();
    });
    const auto text = dialog.ask("Сдвиг");
    QVERIFY(text.has_value());
    QCOMPARE(QString::fromStdString(*text), QString("1.5"));
  }

  void leavingTheFieldByTabStoresTheNumber() {
    QTemporaryDir dir;
    TfmValue dialog(nullptr, dir.filePath("TmpVal.txt"));
    QStringList historyAfterTab;
    tarvik::testing::onNextModal([&dialog, &historyAfterTab](QWidget* w) {
      typeText(w, "6,25");
      pressKey(w, Qt::Key_Tab);
      historyAfterTab = dialog.history();
      static_cast<QDialog*>(w)->reject();
    });
    QVERIFY(!dialog.ask("Сдвиг").has_value());
    QCOMPARE(historyAfterTab, QStringList{"6.25"});
  }

  // The caption the caller sets shows whole in the title bar, beside the window icon and
  // the title-bar buttons; a short caption gives the dialog its own size back.
  void captionShowsWhole_data() {
    QTest::addColumn<QString>("caption");
    QTest::newRow("multiply") << "Задать величину умножения по Y";
    QTest::newRow("points") << "Задать количество точек на выходе";
    QTest::newRow("decibel base") << "Задать относительную базу";
  }
  void captionShowsWhole() {
    QFETCH(QString, caption);
    QTemporaryDir dir;
    TfmValue dialog(nullptr, dir.filePath("TmpVal.txt"));
    int width = 0;
    tarvik::testing::onNextModal([&width](QWidget* w) {
      width = w->width();
      static_cast<QDialog*>(w)->reject();
    });
    dialog.ask(caption.toStdString());
    QFont title = QApplication::font("QMdiSubWindowTitleBar");
    title.setBold(true);
    QVERIFY2(width >= QFontMetrics(title).horizontalAdvance(caption) + 100,
             qPrintable(QString::number(width)));

    tarvik::testing::onNextModal([&width](QWidget* w) {
      width = w->width();
      static_cast<QDialog*>(w)->reject();
    });
    dialog.ask("X");
    QCOMPARE(width, dialog.sizeHint().width());
  }

  void labelAndStartTextWithoutHistory() {
    QTemporaryDir dir;
    TfmValue dialog(nullptr, dir.filePath("missing/TmpVal.txt"));
    QCOMPARE(dialog.text(), QString("0"));
    QVERIFY(dialog.history().isEmpty());
    auto* label = dialog.findChild<QLabel*>();
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), QString("Величина:"));
    QVERIFY(dialog.findChild<QComboBox*>("edValue")->isEditable());
  }

  void historyIsReadAndCleaned() {
    QTemporaryDir dir;
    const QString path = dir.filePath("TmpVal.txt");
    writeLines(path, {"abc", "1.5", "xyz", "2e3", "-4.25E-9"});
    TfmValue dialog(nullptr, path);
    // The field shows the first line even when it is not a number.
    QCOMPARE(dialog.text(), QString("abc"));
    QCOMPARE(dialog.history(), (QStringList{"1.5", "2e3", "-4.25E-9"}));
    auto* combo = dialog.findChild<QComboBox*>("edValue");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QString("1.5"));
  }

  void leavingTheFieldStoresNewNumbersOnly() {
    QTemporaryDir dir;
    const QString path = dir.filePath("TmpVal.txt");
    writeLines(path, {"1.5"});
    TfmValue dialog(nullptr, path);
    dialog.setText("3.25");
    dialog.commitText();
    QCOMPARE(dialog.history(), (QStringList{"3.25", "1.5"}));
    dialog.setText("1.5");  // already there: not repeated
    dialog.commitText();
    QCOMPARE(dialog.history(), (QStringList{"3.25", "1.5"}));
    dialog.setText("1e");  // not a number: stays in the field, not stored
    dialog.commitText();
    QCOMPARE(dialog.history(), (QStringList{"3.25", "1.5"}));
    QCOMPARE(dialog.text(), QString("1e"));
  }

  void historyIsCutToTenAtTheEnd() {
    QTemporaryDir dir;
    const QString path = dir.filePath("TmpVal.txt");
    {
      TfmValue dialog(nullptr, path);
      for (int i = 1; i <= 14; ++i) {
        dialog.setText(QString::number(i));
        dialog.commitText();
      }
    }  // destroyed: written
    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines.first(), QString("14"));
    QCOMPARE(lines.last(), QString("5"));
    TfmValue again(nullptr, path);
    QCOMPARE(again.text(), QString("14"));
    QCOMPARE(again.history().size(), 10);
  }

  void failureToWriteIsSilent() {
    QTemporaryDir dir;
    const QString blocker = dir.filePath("file");
    writeLines(blocker, {"x"});
    // A folder path through a plain file cannot be created.
    auto* dialog = new TfmValue(nullptr, blocker + "/sub/TmpVal.txt");
    dialog->setText("7");
    dialog->commitText();
    QVERIFY(!dialog->saveHistory());
    delete dialog;  // writes again on destruction; must not throw or crash
  }

  void okReturnsTheTextAndRemembersIt() {
    QTemporaryDir dir;
    TfmValue dialog(nullptr, dir.filePath("TmpVal.txt"));
    tarvik::testing::onNextModal([](QWidget* w) {
      typeText(w, "2,5");
      static_cast<QDialog*>(w)->accept();
    });
    const auto text = dialog.ask("Сдвиг по вертикали");
    QCOMPARE(dialog.windowTitle(), QString("Сдвиг по вертикали"));
    QVERIFY(text.has_value());
    QCOMPARE(QString::fromStdString(*text), QString("2.5"));
    QCOMPARE(dialog.history().value(0), QString("2.5"));

    tarvik::testing::onNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    QVERIFY(!dialog.ask("Умножить").has_value());
    QCOMPARE(dialog.text(), QString("2.5"));  // the next use opens on the number used last
  }
};

QTEST_MAIN(ValueDialogTest)
#include "ValueDialogTest.moc"
