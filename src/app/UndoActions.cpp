// "Отменить" and "Повторить" at the top of the Edit menu, and the captions of the steps
// they walk. The steps themselves are kept by the graph store: every command the window
// runs is one step when it changes the document, whichever domain the command is from.
#include <QAbstractButton>
#include <QAction>
#include <QHash>

#include "app/ChartMy.h"
#include "app/WindowActions.h"
#include "view/ChartView.h"

namespace tarvik::app {
namespace {

// Point-wise transforms share their buttons' short hints ("Умножить" on X and on Y), so
// their steps are named after what they do.
const QHash<QString, QString>& namedSteps() {
  static const QHash<QString, QString> names = {
      {"CdvigX", "Сдвиг по X"},
      {"ToolButton18", "Сдвиг по X"},
      {"MulX", "Умножение по X"},
      {"ToolButton20", "Умножение по X"},
      {"N22", "Деление по X"},
      {"ToolButton19", "Деление по X"},
      {"N36", "X=1/X"},
      {"SdvigY", "Сдвиг по Y"},
      {"ToolButton1", "Сдвиг по Y"},
      {"MulY", "Умножение по Y"},
      {"ToolButton2", "Умножение по Y"},
      {"N15", "Деление по Y"},
      {"ToolButton3", "Деление по Y"},
      {"KorY", "Корень из модуля"},
      {"ToolButton4", "Корень из модуля"},
      {"KvadratY", "Возведение в квадрат"},
      {"ToolButton5", "Возведение в квадрат"},
      {"Modul", "Модуль"},
      {"ToolButton6", "Модуль"},
      {"N11", "Инверсия"},
      {"ToolButton7", "Инверсия"},
      {"Y1Y1", "Y=1/Y"},
      {"ToolButton8", "Y=1/Y"},
      {"N23", "Нормализация"},
      {"ToolButton9", "Нормализация"},
      {"Label1", "Выбрать активный график"},
      {"paColor", "Цвет активного графика"},
      {"btnOpen", "Открыть"},
      {"Open1", "Открыть"},
  };
  return names;
}

// Elements whose command is never an undo step: the two walking the steps, and saving
// (it may set a graph's file entry, yet undo never reverts a save).
bool neverAStep(const QString& objectName) {
  static const QStringList names = {"mnUndo", "mnRedo", "Save1", "SpeedButton3", "N42"};
  return names.contains(objectName);
}

// A caption as the menu or hint shows it, without mnemonics and the trailing dots that
// announce a dialog.
QString plainCaption(QString text) {
  text.remove('&');
  while (text.endsWith('.') || text.endsWith(' ')) {
    text.chop(1);
  }
  return text;
}

void refreshUndoActions(TfmChart& window, QAction* undo, QAction* redo) {
  const UndoHistory& history = window.store().history();
  undo->setEnabled(history.canUndo());
  redo->setEnabled(history.canRedo());
  undo->setText(history.canUndo() ? "Отменить: " + QString::fromStdString(history.undoCaption())
                                  : QStringLiteral("Отменить"));
  redo->setText(history.canRedo() ? "Повторить: " + QString::fromStdString(history.redoCaption())
                                  : QStringLiteral("Повторить"));
}

}  // namespace

QString stepCaption(TfmChart& window, const QString& objectName) {
  if (neverAStep(objectName)) {
    return {};
  }
  if (const auto named = namedSteps().find(objectName); named != namedSteps().end()) {
    return named.value();
  }
  // A toolbar's action has no text of its own (its button shows an icon): the button's
  // accessible name, or the hint, says what it does.
  QString text;
  if (const auto* action = window.findChild<QAction*>(objectName)) {
    text = action->text();
  }
  if (text.isEmpty()) {
    if (const auto* button = window.findChild<QAbstractButton*>(objectName)) {
      text = button->accessibleName().isEmpty() ? button->text() : button->accessibleName();
    }
  }
  if (text.isEmpty()) {
    if (const auto* action = window.findChild<QAction*>(objectName)) {
      text = action->toolTip();
    }
  }
  text = plainCaption(text);
  return text.isEmpty() ? QStringLiteral("Изменение") : text;
}

void installUndoActions(TfmChart& window) {
  auto* undo = window.findChild<QAction*>("mnUndo");
  auto* redo = window.findChild<QAction*>("mnRedo");
  const auto refresh = [&window, undo, redo] { refreshUndoActions(window, undo, redo); };
  window.commands().add("mnUndo", [](CommandContext& ctx) { ctx.store.undo(); });
  window.commands().add("mnRedo", [](CommandContext& ctx) { ctx.store.redo(); });
  QObject::connect(&window, &TfmChart::commandFinished, &window, refresh);
  QObject::connect(window.chart(), &view::ChartView::undoStepClosed, &window, refresh);
  refresh();
}

}  // namespace tarvik::app
