#pragma once
// The value dialog: asks one number under a caption the caller sets, and offers the
// numbers typed before (newest first) in its drop-down list. The history lives in
// "TmpVal.txt" in the user's data folder: read when the dialog is created, written (first
// 10 entries) when it is destroyed at the end of the run. The conversion of the text and
// the message after a text that is not a number belong to the caller.
#include <QDialog>
#include <QStringList>
#include <optional>
#include <string>

class QComboBox;
class QInputMethodEvent;
class QKeyEvent;

namespace tarvik::dialogs {

// The key filter of the value field: typing `key` into a field holding `text` inserts
// the returned character, or nothing when the key is refused. Digits, "-", "e" and "E"
// pass; "." passes and "," turns into "." only while the text holds no "."; every other
// printable key is refused. The whole text is looked at, not the selection a key replaces.
std::optional<QChar> filterValueKey(const QString& text, QChar key);

// True when `text` reads as a number with "." as the decimal point (an exponent allowed).
bool isHistoryNumber(const QString& text);

class TfmValue : public QDialog {
  Q_OBJECT
 public:
  // `historyPath` empty means "TmpVal.txt" in the user's data folder.
  explicit TfmValue(QWidget* parent = nullptr, const QString& historyPath = QString());
  ~TfmValue() override;

  // Runs the dialog under `caption`; the typed text after OK, nullopt after cancel. The
  // field keeps its text for the next use.
  std::optional<std::string> ask(const std::string& caption);

  QString text() const;
  void setText(const QString& text);
  const QStringList& history() const { return m_history; }
  // The rule applied when the focus leaves the field: a number not yet in the history is
  // put at its top; other text stays in the field and is not stored.
  void commitText();
  // Writes the first 10 history entries, one per line. False when the file cannot be
  // written (the dialog itself ignores that).
  bool saveHistory() const;

  static QString defaultHistoryPath();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // True when the key or the composed text was handled here (refused or rewritten).
  bool filterTyping(QKeyEvent* key);
  bool filterComposedText(QInputMethodEvent* event);
  void loadHistory();
  void fillList();

  QComboBox* m_value;
  QStringList m_history;
  QString m_path;
};

}  // namespace tarvik::dialogs
