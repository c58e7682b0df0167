// The main menu `MainMenu1`: every item in its order with its object name, caption,
// shortcut and shown state. Items whose command is not installed do nothing. The top-level
// menus carry mnemonics (Alt + the underlined letter); the usual desktop shortcuts open,
// save, quit and show the about box where the listed menu gives none.
#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QToolBar>

#include "app/ChartMy.h"

namespace tarvik::app {

namespace {

void separator(QMenu* menu, bool shown = true) { menu->addSeparator()->setVisible(shown); }

}  // namespace

QAction* TfmChart::menuItem(QMenu* menu, const char* name, const char* caption, bool shown) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setObjectName(name);
  action->setVisible(shown);
  m_routedActions.push_back(action);
  return action;
}

QMenu* TfmChart::subMenu(QMenu* parent, const char* name, const char* caption, bool shown) {
  QMenu* menu = parent->addMenu(QString::fromUtf8(caption));
  menu->setObjectName(name);
  menu->menuAction()->setObjectName(name);
  menu->menuAction()->setVisible(shown);
  return menu;
}

void TfmChart::buildMainMenu() {
  menuBar()->setObjectName("MainMenu1");
  buildFileMenu();
  buildViewMenu();
  buildEditMenu();
  QMenu* help = menuBar()->addMenu("&Справка");
  help->setObjectName("Help1");
  help->menuAction()->setObjectName("Help1");
  menuItem(help, "About1", "О программе")->setShortcut(QKeySequence(Qt::Key_F1));
}

void TfmChart::buildFileMenu() {
  m_file1 = menuBar()->addMenu("&Файл");
  m_file1->setObjectName("File1");
  m_file1->menuAction()->setObjectName("File1");
  connect(m_file1, &QMenu::aboutToShow, this, &TfmChart::refreshFileMenu);

  QMenu* fresh = subMenu(m_file1, "N14", "Новый");
  menuItem(fresh, "ImpRect", "Прямоугольный импульс");
  menuItem(fresh, "N31", "3-х эксп. импульс", false);
  menuItem(fresh, "Re1", "Вода {Re}");
  menuItem(fresh, "Im1", "Вода {Im}");
  menuItem(fresh, "N29", "Вода-проводимость");
  menuItem(fresh, "N28", "Полярный диэлектрик");
  menuItem(fresh, "N32", "Задержка отраж. сигнала", false);
  menuItem(fresh, "SinXX1", "Sin(X)/X");

  menuItem(m_file1, "Open1", "Открыть..")->setShortcut(QKeySequence::Open);
  menuItem(m_file1, "Save1", "Сохранить график..")->setShortcut(QKeySequence::Save);
  menuItem(m_file1, "N42", "Сохранить проект..", false);
  menuItem(m_file1, "mnSaveSession", "Сохранить сеанс...");
  menuItem(m_file1, "mnOpenSession", "Открыть сеанс...");
  QMenu* picture = subMenu(m_file1, "N12", "Картинка");
  menuItem(picture, "SaveaBitmap1", "Сохранить как BMP...");
  menuItem(picture, "CopytoClipboardBMP1", "Копировать в буфер как BMP")
      ->setShortcut(QKeySequence("Ctrl+B"));
  menuItem(picture, "SaveaMetafile1", "Сохранить как WMF..");
  menuItem(picture, "CopytoClipboard1", "Копировать в буфер как WMF")
      ->setShortcut(QKeySequence("Ctrl+W"));
  menuItem(picture, "SaveaPdf1", "Сохранить как PDF..");
  menuItem(picture, "SaveaPng1", "Сохранить как PNG..");
  QMenu* exportMenu = subMenu(m_file1, "N16", "Экспорт", false);
  menuItem(exportMenu, "mnExport", "В Ruzna.EXE", false);
  menuItem(exportMenu, "mnExport2Db", "Графики в архив..");
  separator(m_file1);
  menuItem(m_file1, "Close1", "Закрыть..");
  menuItem(m_file1, "CloseAll1", "Закрыть все");
  separator(m_file1);
  QMenu* print = subMenu(m_file1, "N13", "Печать");
  menuItem(print, "PrintOption1", "Параметры печати..");
  menuItem(print, "Print1", "Печатать");
  menuItem(print, "PrintPreview1", "Предварительный просмотр");
  separator(m_file1);
  menuItem(m_file1, "N38", "Ассоциация файлов...");
  separator(m_file1);
  menuItem(m_file1, "N40", "Заменить все имена файлов на легенды");
  separator(m_file1);
  menuItem(m_file1, "Exit1", "Закрыть")->setShortcut(QKeySequence("Ctrl+Q"));
}

void TfmChart::buildViewMenu() {
  m_mnVid = menuBar()->addMenu("&Вид");
  m_mnVid->setObjectName("mnVid");
  m_mnVid->menuAction()->setObjectName("mnVid");
  menuItem(m_mnVid, "N26", "Перерисовать график");
  separator(m_mnVid);
  menuItem(m_mnVid, "Legengs1", "Подписи легенд графиков..");
  menuItem(m_mnVid, "Titles1", "Заголовки и шрифты..");
  menuItem(m_mnVid, "Lines1", "Линии (толщина и цвет)..");
  menuItem(m_mnVid, "Fon1", "Цвет фона...");
  separator(m_mnVid);
  menuItem(m_mnVid, "LogX1", "LogX")->setCheckable(true);
  menuItem(m_mnVid, "LogY1", "LogY")->setCheckable(true);
  separator(m_mnVid);
  m_legend1 = menuItem(m_mnVid, "Legend1", "Показать подписи графиков");
  m_legend1->setCheckable(true);
  m_legend1->setChecked(true);
  menuItem(m_mnVid, "N4", "Текущий график на весь экран");
  separator(m_mnVid);
  menuItem(m_mnVid, "mnIzmerit", "Измерить");
  m_mnCursors = menuItem(m_mnVid, "mnCursors", "Курсоры");
  m_mnCursors->setCheckable(true);
  m_mnCursors->setShortcut(QKeySequence("Ctrl+K"));
  menuItem(m_mnVid, "mnPulses", "Импульсы...");
  menuItem(m_mnVid, "N35", "Исходный текст");
  separator(m_mnVid);
  // A view switch of the window itself, kept in the settings file (ChartMyView.cpp).
  m_mnShowHidden = menuItem(m_mnVid, "mnShowHidden", "Показать скрытые команды");
  m_mnShowHidden->setCheckable(true);
}

void TfmChart::collectHiddenByDesign() {
  const auto collect = [this](const QList<QAction*>& actions) {
    for (QAction* action : actions) {
      if (!action->isVisible() && action != m_mnShowHidden) {
        m_hiddenActions.push_back(action);
      }
    }
  };
  for (const QMenu* menu : menuBar()->findChildren<QMenu*>()) {
    collect(menu->actions());
  }
  collect(m_toolBar1->actions());
  collect(m_toolBar2->actions());
  for (QWidget* child : m_topPanel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isHidden() && child != static_cast<QWidget*>(m_btnStop)) {
      m_hiddenButtons.push_back(child);
    }
  }
}

void TfmChart::setHiddenCommandsShown(bool shown) {
  for (QAction* action : m_hiddenActions) {
    action->setVisible(shown);
  }
  for (QWidget* button : m_hiddenButtons) {
    button->setVisible(shown);
  }
  if (m_mnShowHidden->isChecked() != shown) {
    const QSignalBlocker quiet(m_mnShowHidden);
    m_mnShowHidden->setChecked(shown);
  }
}

void TfmChart::buildEditMenu() {
  m_edit1 = menuBar()->addMenu("&Редактировать");
  m_edit1->setObjectName("Edit1");
  m_edit1->menuAction()->setObjectName("Edit1");
  QAction* undo = menuItem(m_edit1, "mnUndo", "Отменить");
  undo->setShortcut(QKeySequence::Undo);
  QAction* redo = menuItem(m_edit1, "mnRedo", "Повторить");
  redo->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
  // The Edit menu is disabled while no graph is open, yet "Close all" must stay
  // undoable: the window itself carries the two shortcuts too.
  addAction(undo);
  addAction(redo);
  separator(m_edit1);
  menuItem(m_edit1, "mnSelectActive", "Выбрать активный график");
  separator(m_edit1, false);
  QMenu* x = subMenu(m_edit1, "X", "X", false);
  menuItem(x, "CdvigX", "Сдвиг...");
  menuItem(x, "MulX", "Умножить...");
  menuItem(x, "N22", "Разделить..");
  menuItem(x, "N36", "X=1/Х");
  QMenu* y = subMenu(m_edit1, "Y1", "Y", false);
  menuItem(y, "SdvigY", "Сдвиг...");
  menuItem(y, "MulY", "Умножить...");
  menuItem(y, "N15", "Разделить...");
  menuItem(y, "KorY", "Корень квадр. модуля...");
  menuItem(y, "KvadratY", "Квадрат...");
  menuItem(y, "Modul", "Модуль...");
  menuItem(y, "N11", "Инверсия...");
  menuItem(y, "Y1Y1", "Y=1/Y..");
  menuItem(y, "N23", "Нормализация..");
  menuItem(y, "UBIA1", "\"Ларен\": U(B)-->I(A)");
  separator(m_edit1);
  menuItem(m_edit1, "N33", "Клонировать...");
  menuItem(m_edit1, "mnCopyData", "Копировать данные");
  menuItem(m_edit1, "Summa", "Сложение графиков..", false);
  menuItem(m_edit1, "N17", "Перемножение графиков..", false);
  menuItem(m_edit1, "N37", "Вычислить сопротивление..", false);
  QMenu* transform = subMenu(m_edit1, "N1", "Преобразование", false);
  menuItem(transform, "mnDiffer", "Производная...");
  menuItem(transform, "N5", "Интеграл...");
  separator(transform);
  menuItem(transform, "mnSpectr", "Спектр..");
  menuItem(transform, "N18", "Обратно из спектра..");
  separator(transform);
  menuItem(transform, "RC2", "Постоянная времени..");
  menuItem(transform, "RC1", "Дифференцирование..");
  menuItem(transform, "RC3", "Интегрирование..");
  separator(transform);
  menuItem(transform, "mnFilter", "Фильтр...");
  menuItem(m_edit1, "N34", "Свертка..", false);
  separator(m_edit1);
  menuItem(m_edit1, "N21", "Срастить графики");
  separator(m_edit1);
  menuItem(m_edit1, "N25", "Уменьшить кол-во точек вдвое");
  menuItem(m_edit1, "Y2", "Кадрировать по X");
}

}  // namespace tarvik::app
