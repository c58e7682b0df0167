// The spectrum dialog's window list and its parameter field, worked with the keyboard as a
// user does: the list under the listed fields, β for Kaiser and α for Tukey, a refused
// parameter keeping the dialog open, and the settings round trip.
//
// With TARVIK_SCREENSHOT_DIR set, the dialog at its default size is saved there as
// fmSpectr.png.
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "GuiTestSupport.h"
#include "dialogs/ChartSpectr.h"
#include "spectral/SpectralOptions.h"

using tarvik::dialogs::TfmSpectr;
using tarvik::spectral::SpectrumOptions;
using tarvik::spectral::WindowKind;
using tarvik::testing::answerNextMessage;
using tarvik::testing::onNextModal;
using tarvik::testing::pressKey;
using tarvik::testing::SeenMessage;
using tarvik::testing::typeText;

namespace {

QString focusName() {
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr ? focus->objectName() : QString();
}

// Tabs on until the widget named `name` holds the focus (at most 30 presses).
bool tabTo(QWidget* dialog, const QString& name) {
  for (int i = 0; i < 30 && focusName() != name; ++i) {
    pressKey(dialog, Qt::Key_Tab);
  }
  return focusName() == name;
}

QLabel* labelFor(QWidget* dialog, QWidget* field) {
  for (QLabel* label : dialog->findChildren<QLabel*>()) {
    if (label->buddy() == field) {
      return label;
    }
  }
  return nullptr;
}

int topIn(QWidget* dialog, QWidget* w) { return w->mapTo(dialog, QPoint(0, 0)).y(); }

// Runs `checks` on the next modal dialog and rejects the dialog if they left it open (a
// failed check must not leave the test waiting on it).
void onDialog(std::function<void(QWidget*)> checks) {
  onNextModal([checks](QWidget* d) {
    checks(d);
    if (d->isVisible()) {
      qobject_cast<QDialog*>(d)->reject();
    }
  });
}

}  // namespace

class SpectrumDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void windowListUnderTheListedFieldsTakesKeys() {
    TfmSpectr dialog;
    bool seen = false;
    onDialog([&seen](QWidget* d) {
      auto* list = d->findChild<QComboBox*>("cbWindow");
      auto* param = d->findChild<QLineEdit*>("edWindowParam");
      QVERIFY(list != nullptr && param != nullptr);
      QStringList items;
      for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
      }
      QCOMPARE(items, (QStringList{"Прямоугольное", "Ханна", "Хэмминга", "Блэкмана",
                                   "Блэкмана–Харриса", "С плоской вершиной", "Кайзера", "Тьюки"}));
      QCOMPARE(list->currentIndex(), 0);
      QVERIFY(!param->isEnabled());
      // Under the listed fields, above the buttons, and inside the dialog at its default size.
      auto* freq = d->findChild<QComboBox*>("cbFreq");
      auto* buttons = d->findChild<QDialogButtonBox*>();
      QVERIFY(topIn(d, list) > topIn(d, freq));
      QVERIFY(topIn(d, param) > topIn(d, list));
      QVERIFY(topIn(d, buttons) > topIn(d, param));
      QVERIFY(d->rect().contains(QRect(param->mapTo(d, QPoint(0, 0)), param->size())));
      if (!qEnvironmentVariableIsEmpty("TARVIK_SCREENSHOT_DIR")) {
        d->grab().save(qEnvironmentVariable("TARVIK_SCREENSHOT_DIR") + "/fmSpectr.png");
      }

      QVERIFY(tabTo(d, "cbWindow"));
      for (int i = 0; i < 6; ++i) {
        pressKey(d, Qt::Key_Down);
      }
      QCOMPARE(list->currentText(), QString("Кайзера"));
      QVERIFY(param->isEnabled());
      QCOMPARE(labelFor(d, param)->text(), QString("β:"));
      QCOMPARE(param->text(), QString("8.6"));
      pressKey(d, Qt::Key_Tab);
      QCOMPARE(focusName(), QString("edWindowParam"));
      pressKey(d, Qt::Key_A, Qt::ControlModifier);
      typeText(d, "12.5");
      // Tukey shows its own α, and β comes back with Kaiser.
      pressKey(d, Qt::Key_Backtab);
      pressKey(d, Qt::Key_Down);
      QCOMPARE(labelFor(d, param)->text(), QString("α:"));
      QCOMPARE(param->text(), QString("0.5"));
      pressKey(d, Qt::Key_Up);
      QCOMPARE(param->text(), QString("12.5"));
      seen = true;
      pressKey(d, Qt::Key_Return);
    });
    SpectrumOptions o;
    QVERIFY(dialog.run(o));
    QVERIFY(seen);
    QCOMPARE(o.window, WindowKind::Kaiser);
    QCOMPARE(o.beta, std::string("12.5"));
    QCOMPARE(o.alpha, std::string("0.5"));
  }

  void refusedParameterKeepsTheDialogOpen() {
    TfmSpectr dialog;
    SeenMessage message;
    bool stayedOpen = false;
    onDialog([&](QWidget* d) {
      QVERIFY(tabTo(d, "cbWindow"));
      pressKey(d, Qt::Key_End);  // Тьюки
      pressKey(d, Qt::Key_Tab);
      pressKey(d, Qt::Key_A, Qt::ControlModifier);
      typeText(d, "2");
      answerNextMessage(&message);
      pressKey(d, Qt::Key_Return);
      stayedOpen = d->isVisible();
      // The focus comes back to the refused field once the dialog is active again.
      QWidget* focus = tarvik::testing::keyboardFocus(d);
      QVERIFY(focus != nullptr);
      QCOMPARE(focus->objectName(), QString("edWindowParam"));
      typeText(d, "0.25");  // the refused text is selected: typing replaces it
      pressKey(d, Qt::Key_Return);
    });
    SpectrumOptions o;
    QVERIFY(dialog.run(o));
    QVERIFY(stayedOpen);
    QCOMPARE(message.icon, QMessageBox::Critical);
    QVERIFY(message.text.startsWith("Параметр α окна Тьюки"));
    QCOMPARE(o.window, WindowKind::Tukey);
    QCOMPARE(o.alpha, std::string("0.25"));
  }

  void windowAndParametersAreKeptInTheSettings() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.INI");
    TfmSpectr first;
    onDialog([](QWidget* d) {
      QVERIFY(tabTo(d, "cbWindow"));
      pressKey(d, Qt::Key_End);
      pressKey(d, Qt::Key_Tab);
      pressKey(d, Qt::Key_A, Qt::ControlModifier);
      typeText(d, "0.75");
      pressKey(d, Qt::Key_Return);
    });
    SpectrumOptions shown;
    QVERIFY(first.run(shown));
    {
      QSettings settings(path, QSettings::IniFormat);
      first.saveSettings(settings);
    }
    QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(settings.value("Spectr/cbWindow").toInt(), 7);
    QCOMPARE(settings.value("Spectr/edAlpha").toString(), QString("0.75"));
    QCOMPARE(settings.value("Spectr/edBeta").toString(), QString("8.6"));
    TfmSpectr again;
    again.loadSettings(settings);
    SpectrumOptions o;
    again.readFields(o);
    QCOMPARE(o.window, WindowKind::Tukey);
    QCOMPARE(o.alpha, std::string("0.75"));
    QCOMPARE(again.findChild<QLineEdit*>("edWindowParam")->text(), QString("0.75"));
    // A settings file from before the window list: the rectangular window, the defaults.
    QSettings older(dir.filePath("old.INI"), QSettings::IniFormat);
    older.setValue("Spectr/edFMin", "5");
    TfmSpectr fresh;
    fresh.loadSettings(older);
    SpectrumOptions d;
    fresh.readFields(d);
    QCOMPARE(d.window, WindowKind::Rectangular);
    QCOMPARE(d.beta, std::string("8.6"));
    QCOMPARE(d.alpha, std::string("0.5"));
    QVERIFY(!fresh.findChild<QLineEdit*>("edWindowParam")->isEnabled());
  }
};

QTEST_MAIN(SpectrumDialogTest)
#include "SpectrumDialogTest.moc"
