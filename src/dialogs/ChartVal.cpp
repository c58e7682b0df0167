#include "dialogs/ChartVal.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <QVBoxLayout>

#include "core/NumberFormat.h"
#include "dialogs/DialogSizing.h"

namespace tarvik::dialogs {

namespace {

constexpr int kHistoryKept = 10;

}  // namespace

std::optional<QChar> filterValueKey(const QString& text, QChar key) {
  if (key.isDigit() || key == '-' || key == 'e' || key == 'E') {
    return key;
  }
  if ((key == '.' || key == ',') && !text.contains('.')) {
    return QChar('.');
  }
  return std::nullopt;
}

bool isHistoryNumber(const QString& text) {
  return parseTypedNumber(text.toStdString(), '.').has_value();
}

TfmValue::TfmValue(QWidget* parent, const QString& historyPath)
    : QDialog(parent), m_path(historyPath.isEmpty() ? defaultHistoryPath() : historyPath) {
  setObjectName("fmValue");
  auto* label = new QLabel("Величина:", this);
  label->setObjectName("Label1");
  m_value = new QComboBox(this);
  m_value->setObjectName("edValue");
  m_value->setEditable(true);
  m_value->setInsertPolicy(QComboBox::NoInsert);
  m_value->setMinimumWidth(220);
  m_value->installEventFilter(this);
  m_value->lineEdit()->installEventFilter(this);
  label->setBuddy(m_value);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(m_value);
  layout->addWidget(buttons);

  loadHistory();
}

TfmValue::~TfmValue() { saveHistory(); }

QString TfmValue::defaultHistoryPath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/TmpVal.txt";
}

void TfmValue::loadHistory() {
  QString first = "0";
  QFile file(m_path);
  if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    QTextStream in(&file);
    bool firstLine = true;
    while (!in.atEnd()) {
      const QString line = in.readLine().trimmed();
      if (firstLine) {
        first = line;  // the field shows the newest entry even when it is not a number
        firstLine = false;
      }
      if (isHistoryNumber(line)) {
        m_history.append(line);
      }
    }
  }
  fillList();
  setText(first);
}

void TfmValue::fillList() {
  const QString current = m_value->currentText();
  m_value->clear();
  m_value->addItems(m_history);
  m_value->setEditText(current);
}

QString TfmValue::text() const { return m_value->currentText(); }

void TfmValue::setText(const QString& text) { m_value->setEditText(text); }

void TfmValue::commitText() {
  const QString value = text().trimmed();
  if (isHistoryNumber(value) && !m_history.contains(value)) {
    m_history.prepend(value);
    fillList();
  }
}

bool TfmValue::saveHistory() const {
  QDir().mkpath(QFileInfo(m_path).absolutePath());
  QSaveFile file(m_path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
    return false;
  }
  QTextStream out(&file);
  for (qsizetype i = 0; i < m_history.size() && i < kHistoryKept; ++i) {
    out << m_history[i] << '\n';
  }
  out.flush();
  return file.commit();
}

std::optional<std::string> TfmValue::ask(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
  adjustSize();
  fitCaptionAndCentre(this);
  m_value->lineEdit()->selectAll();
  m_value->setFocus();
  const bool ok = exec() == QDialog::Accepted;
  commitText();  // the focus has left the field, whichever way the dialog ended
  if (!ok) {
    return std::nullopt;
  }
  return text().toStdString();
}

bool TfmValue::filterTyping(QKeyEvent* key) {
  const QString typed = key->text();
  // Only printable characters are filtered; editing and navigation keys (Backspace,
  // Delete, arrows, Enter, Escape, clipboard shortcuts) keep their usual meaning.
  if (typed.size() != 1 || !typed[0].isPrint() ||
      (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    return false;
  }
  const std::optional<QChar> accepted = filterValueKey(text(), typed[0]);
  if (accepted && *accepted == typed[0]) {
    return false;  // the field inserts it as usual
  }
  if (accepted) {
    m_value->lineEdit()->insert(QString(*accepted));
  }
  return true;
}

bool TfmValue::filterComposedText(QInputMethodEvent* event) {
  // Text composed by an input method arrives without key presses: the same rule applies
  // to each of its characters in turn.
  const QString composed = event->commitString();
  if (composed.isEmpty() || !event->preeditString().isEmpty()) {
    return false;
  }
  for (const QChar c : composed) {
    if (const std::optional<QChar> accepted = filterValueKey(text(), c)) {
      m_value->lineEdit()->insert(QString(*accepted));
    }
  }
  return true;
}

bool TfmValue::eventFilter(QObject* watched, QEvent* event) {
  // The combo box is the focus proxy of its line edit: keys and focus changes reach the
  // combo box, which hands them to the line edit directly (past any filter of the line
  // edit). Both are watched, so the rule holds whichever of them an event is sent to.
  if (watched == m_value || watched == m_value->lineEdit()) {
    switch (event->type()) {
      case QEvent::FocusOut:
        commitText();
        break;
      case QEvent::KeyPress:
        if (filterTyping(static_cast<QKeyEvent*>(event))) {
          return true;
        }
        break;
      case QEvent::InputMethod:
        if (filterComposedText(static_cast<QInputMethodEvent*>(event))) {
          return true;
        }
        break;
      default:
        break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tarvik::dialogs
