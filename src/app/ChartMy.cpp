#include "app/ChartMy.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/ChartMyCursors.h"
#include "app/ChartMyStatus.h"
#include "app/GuiUi.h"
#include "app/Hint.h"
#include "app/PulsePanel.h"
#include "app/RecentFiles.h"
#include "app/Recovery.h"
#include "app/ToolRows.h"
#include "app/WindowActions.h"
#include "app/WindowChartPort.h"
#include "core/NumberFormat.h"
#include "core/OutputLimits.h"
#include "core/UndoStep.h"
#include "dialogs/Chart3expDLG.h"
#include "dialogs/ChartAbt.h"
#include "dialogs/ChartBackSpectr.h"
#include "dialogs/ChartExt.h"
#include "dialogs/ChartFilter.h"
#include "dialogs/ChartLeg.h"
#include "dialogs/ChartLin.h"
#include "dialogs/ChartOfo.h"
#include "dialogs/ChartPolarDiel.h"
#include "dialogs/ChartPrO.h"
#include "dialogs/ChartRC.h"
#include "dialogs/ChartSel.h"
#include "dialogs/ChartSel2gr.h"
#include "dialogs/ChartSelectGrPrm.h"
#include "dialogs/ChartSelectUI.h"
#include "dialogs/ChartShowTextGr.h"
#include "dialogs/ChartSpectr.h"
#include "dialogs/ChartVal.h"
#include "dialogs/ChartZ.h"
#include "dialogs/Distance.h"
#include "io/FileCommands.h"
#include "view/ChartView.h"
#include "view/PulseMeasurementLayer.h"

namespace tarvik::app {

namespace {

constexpr QSize kInitialSize(683, 506);
constexpr const char* kChartHint =
    "|Shift+mouse - можно сдвинуть график, Ctrl+mouse - выбор акт. гр.: если не нажата кнопка "
    "\"Ред. акт. гр.\",  Alt+mouse - измерение";

}  // namespace

TfmChart::TfmChart(const QStringList& arguments, const QString& settingsPath, QWidget* parent)
    : QMainWindow(parent),
      m_settings(settingsPath.isEmpty() ? SettingsFile::defaultPath() : settingsPath) {
  setObjectName("fmChart");
  setWindowTitle("График");
  setAcceptDrops(true);
  resize(kInitialSize);

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  // The top panel and the two toolbars share rows where the width lets them.
  m_toolRows = new QWidget(central);
  m_toolRows->setObjectName("ToolRows");
  auto* rows = new ToolRowsLayout(m_toolRows);
  rows->addWidget(buildTopPanel());
  rows->addWidget(buildFirstToolBar());
  rows->addWidget(buildSecondToolBar());
  column->addWidget(m_toolRows);
  m_chart = new view::ChartView(central);
  m_chart->setObjectName("Chart");
  applyHint(m_chart, kChartHint);
  m_chart->setStore(&m_store);
  m_chart->installEventFilter(this);
  column->addWidget(m_chart, 1);
  m_cursorPanel = new CursorPanel(central);
  column->addWidget(m_cursorPanel);
  column->addWidget(buildBottomPanel());
  setCentralWidget(central);
  buildMainMenu();
  collectHiddenByDesign();
  setHiddenCommandsShown(m_settings.hiddenCommandsShown());
  setStatusBar(new StatusLine("Графики", this));

  m_port = std::make_unique<WindowChartPort>(
      m_store, WindowChartPort::Parts{m_chart, m_label1, m_paColor, m_edit1, m_mnVid, m_legend1});
  m_store.setChartPort(m_port.get());
  connect(m_chart, &view::ChartView::graphClicked, this, &TfmChart::onGraphClicked);
  connect(m_chart, &view::ChartView::legendClicked, this, &TfmChart::onLegendClicked);
  connectChart();

  createDialogs();
  connectCommands();

  // Creation step: empty store, menus disabled, indicator empty, then the command line.
  m_label1->clear();
  m_port->refreshMenus();
  openCommandLine(arguments);
  setFonts(m_settings.readFonts());
  applySavedGeometry();
  m_recovery = std::make_unique<RecoveryKeeper>(*this);
}

TfmChart::~TfmChart() {
  // The pulse panel's worker ends before the chart and the store it reads go.
  delete m_pulsePanel;
  m_pulsePanel = nullptr;
  m_recovery.reset();  // waits for a copy being written, then removes it
  // The chart must not draw a store that is going away.
  m_store.setChartPort(nullptr);
  m_chart->setAfterRepaint({});
  m_chart->setStore(nullptr);
}

void TfmChart::createDialogs() {
  // Every dialog in the fixed start-up order. Each exists once for the whole run, hidden
  // between uses, so its fields keep their values; those with a settings section read it
  // as they are created. The domains' install functions below find them by name (options
  // dialogs) or by type.
  auto add = [this](const char* name, OptionsDialog* dialog) {
    m_dialogs.add(name, dialog);
    dialog->loadSettings(m_settings.settings());
  };
  add("Tfm3expDLG", new dialogs::Tfm3expDLG(this));
  new dialogs::TfmAboutChart(this);
  add("TfmBackSpectr", new dialogs::TfmBackSpectr(this));
  new dialogs::TfmFileAssoc(this);
  add("TfmLegend", new dialogs::TfmLegend(this));
  new dialogs::TfmLines(this);  // acts on the graphs at once; not an options dialog
  add("TfmEditComments", new dialogs::TfmEditComments(this));
  add("TfmPolarDielectric", new dialogs::TfmPolarDielectric(this));
  add("TfmPrinOptions", new dialogs::TfmPrinOptions(this));
  add("TfmChartRC", new dialogs::TfmChartRC(this));
  add("TfmSelectTwoGr", new dialogs::TfmSelectTwoGr(this));
  m_fmSelectGr = new dialogs::TfmSelectGr(this);
  add("TfmSelectGrParam", new dialogs::TfmSelectGrParam(this));
  new dialogs::TfmShowTextGr(this);
  add("TfmSpectr", new dialogs::TfmSpectr(this));
  m_fmValue = new dialogs::TfmValue(this);
  add("TfmCalcZ", new dialogs::TfmCalcZ(this));
  add("TfmDistance", new dialogs::TfmDistance(this));
  add("TfmChartSelectUI", new dialogs::TfmChartSelectUI(this));
  // Dialogs of commands beyond the listed ones come after the listed order.
  add("TfmFilter", new dialogs::TfmFilter(this));

  m_ui = std::make_unique<GuiUi>(this, statusBar(), m_fmSelectGr, m_fmValue, m_dialogs, m_settings);
  m_ui->setProgressHook([this] { showLongLoopControls(); });
  installViewActions();
  installChartActions();
  installFileActions(m_commands, m_dialogs, this);
  installTransformActions(m_commands);
  installSpectralActions(m_commands, m_dialogs, this);
  installAppearanceActions(*this);
  installPictureActions(*this);
  installTableActions(*this);
  installSynthActions(*this);
  installSensorActions(*this);
  installRecentFiles(*this);
  installAssociationActions(*this);
  installSessionActions(*this);
  installUndoActions(*this);
}

void TfmChart::connectCommands() {
  for (QAction* action : m_routedActions) {
    const QString name = action->objectName();
    connect(action, &QAction::triggered, this, [this, name] { runCommand(name); });
  }
  for (QAbstractButton* button : m_routedButtons) {
    const QString name = button->objectName();
    connect(button, &QAbstractButton::clicked, this, [this, name] { runCommand(name); });
  }
  connect(m_btnStop, &QAbstractButton::clicked, this, [this] {
    m_store.stopRequest = true;
    m_btnStop->hide();
  });
  // Exit closes the window, which ends the program.
  for (const char* name : {"btnExit", "Exit1"}) {
    m_commands.add(name, [this](CommandContext&) { QTimer::singleShot(0, this, &QWidget::close); });
  }
}

void TfmChart::openCommandLine(const QStringList& arguments) {
  // Every file named, in order, each read on its own as a file handed to a running window
  // is: one that cannot be read does not keep the others out.
  for (const QString& argument : arguments) {
    const QFileInfo file(argument);
    if (file.isFile() && !file.fileName().endsWith(".fdt")) {
      openFilesInWindow(*this, {file.absoluteFilePath().toStdString()});
    }
  }
}

void TfmChart::applySavedGeometry() {
  const QRect current(pos(), size());
  const QRect saved = m_settings.readForm(current);
  QList<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) {
    screens << screen->availableGeometry();
  }
  const QRect placed = placeOnScreens(saved, screens);
  resize(placed.size());
  if (m_settings.settings().contains("Form/Left") || m_settings.settings().contains("Form/Top") ||
      placed.topLeft() != saved.topLeft()) {
    move(placed.topLeft());
  }
}

QString TfmChart::captionFor(QSize size, char decimalSeparator) {
  return QString("График %1x%2 (%3x%4) см")
      .arg(size.width())
      .arg(size.height())
      .arg(QString::fromStdString(formatCentimetres(size.width(), decimalSeparator)))
      .arg(QString::fromStdString(formatCentimetres(size.height(), decimalSeparator)));
}

void TfmChart::updateCaption() {
  setWindowTitle(captionFor(m_chart->size(), m_ui->decimalSeparator()));
}

void TfmChart::refreshFileMenu() {
  const bool any = !m_store.empty();
  for (const char* name : {"Save1", "Close1", "CloseAll1", "SaveaBitmap1", "CopytoClipboardBMP1",
                           "SaveaMetafile1", "CopytoClipboard1", "Print1"}) {
    if (auto* action = findChild<QAction*>(name)) {
      action->setEnabled(any);
    }
  }
}

bool TfmChart::runCommand(const QString& objectName) {
  const CommandMap::Handler* handler = m_commands.find(objectName);
  return handler != nullptr && runGuarded(*handler, stepCaption(*this, objectName));
}

bool TfmChart::runGuarded(const std::function<void(CommandContext&)>& work,
                          const QString& caption) {
  if (m_running) {
    return false;  // pending events of a long command must not start a second one
  }
  m_running = true;
  UndoStep step = caption.isEmpty() ? UndoStep() : UndoStep(m_store, caption.toStdString());
  CommandContext ctx{m_store, *m_ui};
  try {
    // A command that runs out of memory leaves no graph of its own behind, whichever
    // command it is (its end is then OutOfMemoryError).
    keepStoreOnMemoryShortage(m_store, [&] { work(ctx); });
  } catch (const std::bad_alloc&) {
    m_ui->clearBusy();
    m_ui->message(MessageKind::Error, kOutOfMemory);
  } catch (const std::length_error&) {  // a container asked for more than it can hold
    m_ui->clearBusy();
    m_ui->message(MessageKind::Error, kOutOfMemory);
  } catch (const std::exception& e) {
    m_ui->clearBusy();
    m_ui->message(MessageKind::Error, e.what());
  } catch (...) {
    m_ui->clearBusy();
    m_ui->message(MessageKind::Error, "Ошибка");
  }
  step.close();  // before the menus show the new step
  finishCommand();
  return true;
}

void TfmChart::finishCommand() {
  m_ui->clearBusy();
  m_btnStop->hide();
  if (m_othersDisabled) {
    setOtherCommandsEnabled(true);
  }
  m_chart->setVisible(true);  // also after a command that hid it and then failed
  m_port->redraw();
  m_port->refreshMenus();
  refreshCursorPanel();
  m_running = false;
  emit commandFinished();
  if (m_closePending) {
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void TfmChart::showLongLoopControls() {
  if (!m_running) {
    return;
  }
  if (!m_othersDisabled) {
    setOtherCommandsEnabled(false);
  }
  if (!m_store.stopRequest && m_btnStop->isHidden()) {
    m_btnStop->show();
  }
}

void TfmChart::setOtherCommandsEnabled(bool enabled) {
  m_othersDisabled = !enabled;
  menuBar()->setEnabled(enabled);
  m_toolBar1->setEnabled(enabled);
  m_toolBar2->setEnabled(enabled);
  m_bottomPanel->setEnabled(enabled);
  for (QWidget* child : m_topPanel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child != m_btnStop) {
      child->setEnabled(enabled);
    }
  }
}

void TfmChart::writeSettings() {
  m_settings.writeFonts(fonts());
  m_settings.writeForm(QRect(pos(), size()));
  for (const auto& [name, dialog] : m_dialogs.all()) {
    dialog->saveSettings(m_settings.settings());
  }
  m_settings.sync();
}

void TfmChart::closeEvent(QCloseEvent* event) {
  if (m_running) {
    // A long command is processing events: stop it and close when it has ended.
    m_store.stopRequest = true;
    m_closePending = true;
    event->ignore();
    return;
  }
  writeSettings();
  m_recovery->endCleanly();  // a normal close leaves nothing to recover
  event->accept();
}

void TfmChart::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    m_port->refreshMenus();
    m_port->legendRelayout();
  }
  QMainWindow::changeEvent(event);
}

bool TfmChart::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_chart && event->type() == QEvent::Resize) {
    // The chart takes its new size in its own resize handler, which runs after this
    // filter: re-lay the legend out once it has.
    QMetaObject::invokeMethod(
        this,
        [this] {
          m_port->legendRelayout();
          updateCaption();
        },
        Qt::QueuedConnection);
  } else if (event->type() == QEvent::MouseButtonRelease && !m_running) {
    if (watched == m_label1) {
      runCommand("Label1");
      return true;
    }
    if (watched == m_paColor) {
      runCommand("paColor");
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfmChart::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    for (const QUrl& url : event->mimeData()->urls()) {
      if (url.isLocalFile()) {
        event->acceptProposedAction();
        return;
      }
    }
  }
}

void TfmChart::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
      paths.push_back(url.toLocalFile().toStdString());
    }
  }
  if (paths.empty()) {
    return;
  }
  event->acceptProposedAction();
  // Opened after the drop has returned to the file manager, not inside its event.
  QTimer::singleShot(0, this, [this, paths] { openFilesInWindow(*this, paths); });
}

}  // namespace tarvik::app
