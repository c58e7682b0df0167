#pragma once
// The main window `TfmChart`: owns the graph store, the chart, the menus, the toolbars,
// the bottom panel and the dialogs for the whole run. It builds every element of its
// layout with the component's object name and routes each one, by that name, to the
// command a domain installed in the command map. It computes nothing itself.
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "app/CommandMap.h"
#include "app/Settings.h"
#include "core/GraphStore.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QVBoxLayout;

namespace tarvik::view {
class ChartView;
class PulseMeasurementLayer;
}  // namespace tarvik::view
namespace tarvik::dialogs {
class TfmSelectGr;
class TfmValue;
}  // namespace tarvik::dialogs

namespace tarvik::app {

class CursorPanel;
class PulsePanel;
class GuiUi;
class RecoveryKeeper;
class WindowChartPort;

class TfmChart : public QMainWindow {
  Q_OBJECT
 public:
  // `arguments` are the command-line arguments without the program name; those naming a
  // graph file (an existing file, not ".fdt") are opened in order. `settingsPath` empty
  // means the user's settings file.
  explicit TfmChart(const QStringList& arguments = {}, const QString& settingsPath = {},
                    QWidget* parent = nullptr);
  ~TfmChart() override;

  GraphStore& store() { return m_store; }
  view::ChartView* chart() const { return m_chart; }
  GuiUi& ui() { return *m_ui; }
  SettingsFile& settingsFile() { return m_settings; }
  CommandMap& commands() { return m_commands; }
  DialogRegistry& dialogRegistry() { return m_dialogs; }
  dialogs::TfmSelectGr* selectDialog() const { return m_fmSelectGr; }
  view::PulseMeasurementLayer& measurement() { return *m_measure; }
  CursorPanel* cursorPanel() const { return m_cursorPanel; }
  // The panel "Импульсы..." once it has been opened, else null.
  PulsePanel* pulsePanel() const { return m_pulsePanel; }
  // The background copy of the document kept for crash recovery.
  RecoveryKeeper& recovery() { return *m_recovery; }

  // Face names and sizes of the seven chart fonts the settings file keeps, as the chart
  // shows them now.
  ChartFonts fonts() const;
  // Gives the chart's seven saved texts these face names and sizes.
  void setFonts(const ChartFonts& fonts);

  // Runs the command bound to the element `objectName`. False when it has none or a
  // command is already running.
  bool runCommand(const QString& objectName);
  // Runs `work` as one command: every other command is refused until it ends, and an
  // error it throws is shown in an error box with its own text. What it changes in the
  // document becomes one undo step captioned `stepCaption`; an empty caption makes no
  // step (undo and redo themselves, saving).
  bool runGuarded(const std::function<void(CommandContext&)>& work,
                  const QString& stepCaption = QStringLiteral("Изменение"));
  bool commandRunning() const { return m_running; }

 signals:
  // A command ended (also one that failed): menus that follow the document refresh.
  void commandFinished();

 public:
  // "График WxH (w.wxh.h) см" for a chart area of `size` pixels.
  static QString captionFor(QSize size, char decimalSeparator);
  // Writes "Fonts", "Form" and the settings of every options dialog.
  void writeSettings();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Layout (ChartMyPanels.cpp, ChartMyMenus.cpp).
  QWidget* buildTopPanel();
  QToolBar* buildFirstToolBar();
  QToolBar* buildSecondToolBar();
  QWidget* buildBottomPanel();
  void buildMainMenu();
  void buildFileMenu();
  void buildViewMenu();
  void buildEditMenu();
  QAction* toolButton(QToolBar* bar, const char* name, const char* hint, const char* icon,
                      bool shown = true);
  QAbstractButton* speedButton(const char* name, const char* hint, const char* icon);
  QAction* menuItem(QMenu* menu, const char* name, const char* caption, bool shown = true);
  QMenu* subMenu(QMenu* parent, const char* name, const char* caption, bool shown = true);
  // The menu items, toolbar buttons and top-panel buttons the design hides (not the stop
  // button, which the long loops show), and showing them all in their places or hiding
  // them again ("Показать скрытые команды").
  void collectHiddenByDesign();
  void setHiddenCommandsShown(bool shown);

  // Lifecycle (ChartMy.cpp).
  void createDialogs();
  void connectCommands();
  void applySavedGeometry();
  void openCommandLine(const QStringList& arguments);
  void updateCaption();
  void refreshFileMenu();
  void finishCommand();
  void showLongLoopControls();
  void setOtherCommandsEnabled(bool enabled);

  // The window's own view switches and the bottom-panel clicks (ChartMyView.cpp).
  void installViewActions();
  void onGraphClicked(int storeIndex, Qt::KeyboardModifiers modifiers);
  void onLegendClicked(int pixelRow);

  // Zoom, framing, the editing mode, the pulse measurement and the cursors
  // (ChartMyChart.cpp).
  void installChartActions();
  void connectChart();
  void setMeasurementOn(bool on);
  void afterChartPaint();
  void showAfterPaint();
  void refreshCursorPanel();
  void showPulsePanel();

  GraphStore m_store;
  SettingsFile m_settings;
  CommandMap m_commands;
  DialogRegistry m_dialogs;

  view::ChartView* m_chart = nullptr;
  QWidget* m_toolRows = nullptr;
  QWidget* m_topPanel = nullptr;
  QToolBar* m_toolBar1 = nullptr;
  QToolBar* m_toolBar2 = nullptr;
  QWidget* m_bottomPanel = nullptr;
  QLabel* m_label1 = nullptr;
  QLabel* m_paColor = nullptr;
  QAbstractButton* m_btnStop = nullptr;
  QAbstractButton* m_btnEdit = nullptr;
  QCheckBox* m_cbFixLine = nullptr;
  QAbstractButton* m_speedButton4 = nullptr;
  QAbstractButton* m_btnCursors = nullptr;
  QLineEdit* m_edit2 = nullptr;
  QLabel* m_lbCoopd = nullptr;
  CursorPanel* m_cursorPanel = nullptr;
  PulsePanel* m_pulsePanel = nullptr;
  QAction* m_mnCursors = nullptr;
  QMenu* m_file1 = nullptr;
  QMenu* m_mnVid = nullptr;
  QMenu* m_edit1 = nullptr;
  QAction* m_legend1 = nullptr;
  QAction* m_mnShowHidden = nullptr;
  std::vector<QAction*> m_hiddenActions;
  std::vector<QWidget*> m_hiddenButtons;

  dialogs::TfmSelectGr* m_fmSelectGr = nullptr;
  dialogs::TfmValue* m_fmValue = nullptr;
  std::unique_ptr<GuiUi> m_ui;
  std::unique_ptr<WindowChartPort> m_port;
  std::unique_ptr<view::PulseMeasurementLayer> m_measure;
  std::unique_ptr<RecoveryKeeper> m_recovery;
  bool m_afterPaintQueued = false;

  // Elements routed by object name to the command map.
  std::vector<QAction*> m_routedActions;
  std::vector<QAbstractButton*> m_routedButtons;

  bool m_running = false;
  bool m_othersDisabled = false;
  bool m_closePending = false;
};

}  // namespace tarvik::app
