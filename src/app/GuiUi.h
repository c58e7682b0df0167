#pragma once
// The window's side of the Ui port: the selection and value dialogs, the options dialogs
// of the registry, message boxes, the file dialogs, the colour dialog `ColorD`, the status-bar
// progress that lets the stop button be pressed, and the busy cursor.
#include <QString>
#include <QStringList>
#include <functional>

#include "core/Ui.h"

class QColorDialog;
class QFileDialog;
class QWidget;
class QStatusBar;

namespace tarvik::dialogs {
class DialogRegistry;
class TfmSelectGr;
class TfmValue;
}  // namespace tarvik::dialogs

namespace tarvik::app {

using dialogs::DialogRegistry;
class SettingsFile;

// A filter of a command's file dialog in Qt's form "Label (*.a *.b)". Accepted inputs:
// "Описание(*.a;*.b)", "Описание|*.a;*.b", plain patterns "*.a;*.b", and a bare label
// ("Все файлы") that stands for every file. "*.*" means every file.
// Bare patterns get a name of their extensions ("*.srg;*.grf" is "Файлы SRG, GRF (*.srg
// *.grf)"), "*.*" is "Все файлы (*)": each filter shows its patterns once.
QString toQtFileFilter(const std::string& filter);

// Sizes an open or save dialog so that its file list shows every column whole.
void fitFileDialog(QFileDialog& dialog);

class GuiUi : public Ui {
 public:
  GuiUi(QWidget* window, QStatusBar* statusBar, dialogs::TfmSelectGr* select,
        dialogs::TfmValue* value, const DialogRegistry& registry, SettingsFile& settings);
  ~GuiUi() override;

  std::optional<std::vector<int>> chooseEntries(const GraphChoiceRequest& request) override;
  std::optional<std::string> askValueText(const std::string& caption) override;
  bool editOptions(DialogOptions& options) override;
  void message(MessageKind kind, const std::string& text) override;
  bool question(const std::string& text) override;
  std::optional<std::vector<std::string>> askOpenFiles(const FileDialogRequest& r) override;
  std::optional<std::string> askSaveFile(const FileDialogRequest& r) override;
  std::optional<Rgb> askColour() override;
  void rememberFolder(const std::string& folder) override;
  void progress(const std::string& text) override;
  void setBusy(bool on) override;
  char decimalSeparator() const override;

  // The folder remembered last, by either dialog ("IniDir" of the settings file).
  QString folder() const { return m_folder; }
  // The start folders of the open dialog `OpenD` and the save dialog `SaveD`: both the
  // remembered folder at start, then each the folder of its own last file, kept apart
  // for the run.
  QString openFolder() const { return m_openFolder; }
  QString saveFolder() const { return m_saveFolder; }
  // Called at every progress report (the window shows its stop button there).
  void setProgressHook(std::function<void()> hook) { m_progressHook = std::move(hook); }
  // Ends a busy cursor left on by a command that did not switch it off.
  void clearBusy();

 private:
  QWidget* m_window;
  QStatusBar* m_statusBar;
  dialogs::TfmSelectGr* m_select;
  dialogs::TfmValue* m_value;
  const DialogRegistry& m_registry;
  SettingsFile& m_settings;
  QString m_folder;
  QString m_openFolder;
  QString m_saveFolder;
  // The dialog that ran last: its command remembers the folder of the file chosen there.
  enum class FileDialogKind { Open, Save };
  FileDialogKind m_lastFileDialog = FileDialogKind::Open;
  QColorDialog* m_colorD;  // child of the window, kept for the whole run
  int m_busyDepth = 0;
  std::function<void()> m_progressHook;
};

}  // namespace tarvik::app
