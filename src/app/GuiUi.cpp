#include "app/GuiUi.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QStatusBar>
#include <QTreeView>

#include "app/CommandMap.h"
#include "app/Settings.h"
#include "app/WindowChartPort.h"
#include "dialogs/ChartSel.h"
#include "dialogs/ChartVal.h"

namespace tarvik::app {

namespace {

// "*.a;*.b" -> "*.a *.b"; "*.*" -> "*" (Qt's "*.*" would skip names without a dot).
QString qtPatterns(QString patterns) {
  patterns.replace(';', ' ');
  QStringList parts = patterns.split(' ', Qt::SkipEmptyParts);
  for (QString& p : parts) {
    if (p == "*.*") {
      p = "*";
    }
  }
  return parts.join(' ');
}

// The name of a filter given as bare patterns: "*.srg;*.grf" is "Файлы SRG, GRF", "*.*"
// is "Все файлы"; patterns of another shape add nothing to the name ("Файлы").
QString patternsName(const QString& qtForm) {
  if (qtForm == "*") {
    return QStringLiteral("Все файлы");
  }
  QStringList names;
  for (const QString& p : qtForm.split(' ', Qt::SkipEmptyParts)) {
    const QString extension = p.mid(2);
    if (p.startsWith("*.") && !extension.isEmpty() && !extension.contains('*') &&
        !extension.contains('?')) {
      names << extension.toUpper();
    }
  }
  return names.isEmpty() ? QStringLiteral("Файлы") : "Файлы " + names.join(", ");
}

QStringList qtFilters(const std::vector<std::string>& filters) {
  QStringList out;
  for (const std::string& f : filters) {
    out << toQtFileFilter(f);
  }
  return out;
}

}  // namespace

QString toQtFileFilter(const std::string& filter) {
  const QString text = QString::fromStdString(filter).trimmed();
  const qsizetype bar = text.indexOf('|');
  if (bar >= 0) {
    QString label = text.left(bar).trimmed();
    const qsizetype paren = label.indexOf('(');
    if (paren > 0) {
      label = label.left(paren).trimmed();
    }
    return label + " (" + qtPatterns(text.mid(bar + 1)) + ")";
  }
  const qsizetype open = text.lastIndexOf('(');
  if (open >= 0 && text.endsWith(')')) {
    const QString label = text.left(open).trimmed();
    const QString patterns = qtPatterns(text.mid(open + 1, text.size() - open - 2));
    return (label.isEmpty() ? patternsName(patterns) : label) + " (" + patterns + ")";
  }
  if (text.contains('*')) {
    const QString patterns = qtPatterns(text);
    return patternsName(patterns) + " (" + patterns + ")";
  }
  return text + " (*)";
}

void fitFileDialog(QFileDialog& dialog) {
  // The widget dialog's list of files: the name column takes what the others leave, the
  // size, type and date columns are as wide as their texts ("13,2 KiB" whole).
  if (auto* files = dialog.findChild<QTreeView*>("treeView")) {
    QHeaderView* header = files->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    const QFontMetrics metrics(files->font());
    header->setMinimumSectionSize(metrics.horizontalAdvance(QStringLiteral("000,00 KiB")));
    // Wide enough for a name column of about 40 characters beside the other three and the
    // side bar of places.
    const int width = metrics.horizontalAdvance(QString(100, QLatin1Char('x')));
    dialog.resize(std::max(dialog.width(), width), std::max(dialog.height(), width * 3 / 5));
  }
}

GuiUi::GuiUi(QWidget* window, QStatusBar* statusBar, dialogs::TfmSelectGr* select,
             dialogs::TfmValue* value, const DialogRegistry& registry, SettingsFile& settings)
    : m_window(window),
      m_statusBar(statusBar),
      m_select(select),
      m_value(value),
      m_registry(registry),
      m_settings(settings),
      m_folder(settings.iniDir()),
      m_openFolder(m_folder),
      m_saveFolder(m_folder),
      m_colorD(new QColorDialog(window)) {
  // One colour dialog for the whole run, so it opens on the colour chosen last (the
  // graph colour and the background colour share it).
  m_colorD->setObjectName("ColorD");
}

GuiUi::~GuiUi() { clearBusy(); }

std::optional<std::vector<int>> GuiUi::chooseEntries(const GraphChoiceRequest& request) {
  return m_select->choose(request);
}

std::optional<std::string> GuiUi::askValueText(const std::string& caption) {
  return m_value->ask(caption);
}

bool GuiUi::editOptions(DialogOptions& options) {
  OptionsDialog* dialog = m_registry.find(options.dialogName());
  return dialog != nullptr && dialog->run(options);
}

void GuiUi::message(MessageKind kind, const std::string& text) {
  QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
                  kind == MessageKind::Error ? "Ошибка" : "Информация",
                  QString::fromStdString(text), QMessageBox::Ok, m_window);
  box.exec();
}

bool GuiUi::question(const std::string& text) {
  QMessageBox box(QMessageBox::Question, "Подтверждение", QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, m_window);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::vector<std::string>> GuiUi::askOpenFiles(const FileDialogRequest& r) {
  m_lastFileDialog = FileDialogKind::Open;
  QFileDialog dialog(m_window, QString::fromStdString(r.title), m_openFolder);
  dialog.setObjectName("OpenD");
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(qtFilters(r.filters));
  fitFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  std::vector<std::string> paths;
  for (const QString& f : dialog.selectedFiles()) {
    paths.push_back(f.toStdString());
  }
  return paths;
}

std::optional<std::string> GuiUi::askSaveFile(const FileDialogRequest& r) {
  m_lastFileDialog = FileDialogKind::Save;
  QFileDialog dialog(m_window, QString::fromStdString(r.title), m_saveFolder);
  dialog.setObjectName("SaveD");
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The commands ask their own overwrite question with the system's text.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setNameFilters(qtFilters(r.filters));
  dialog.setDefaultSuffix(QString::fromStdString(r.defaultExtension));
  fitFileDialog(dialog);
  if (!r.proposedName.empty()) {
    dialog.selectFile(QString::fromStdString(r.proposedName));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<Rgb> GuiUi::askColour() {
  if (m_colorD->exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  return toRgb(m_colorD->selectedColor());
}

void GuiUi::rememberFolder(const std::string& folder) {
  m_folder = QString::fromStdString(folder);
  (m_lastFileDialog == FileDialogKind::Save ? m_saveFolder : m_openFolder) = m_folder;
  m_settings.writeIniDir(m_folder);
}

void GuiUi::progress(const std::string& text) {
  if (m_progressHook) {
    m_progressHook();
  }
  m_statusBar->showMessage(QString::fromStdString(text));
  QCoreApplication::processEvents();
}

void GuiUi::setBusy(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_busyDepth;
  } else if (m_busyDepth > 0) {
    QApplication::restoreOverrideCursor();
    --m_busyDepth;
  }
}

void GuiUi::clearBusy() {
  while (m_busyDepth > 0) {
    setBusy(false);
  }
}

char GuiUi::decimalSeparator() const {
  const QString point = QLocale().decimalPoint();
  if (point.size() == 1 && point[0].unicode() < 128) {
    return static_cast<char>(point[0].unicode());
  }
  return '.';
}

}  // namespace tarvik::app
