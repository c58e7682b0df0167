#pragma once
// TfmEditComments "Оформление надписей": the chart's title and foot lines, the axis titles
// (left and bottom shown with their presets; top, right and the four title angles hidden
// but filled and applied all the same), the font buttons of the chart's texts and the
// legend position. The font buttons and the legend position act on the chart at once and
// are not undone by Cancel; the texts are taken only on OK.
#include <QDialog>
#include <array>
#include <functional>

#include "core/ChartAppearance.h"
#include "dialogs/OptionsDialog.h"

class QAbstractButton;
class QComboBox;
class QFontDialog;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QToolButton;

namespace tarvik::dialogs {

class TfmEditComments : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  // What the font buttons and the legend position act on: the window's chart.
  struct ChartHooks {
    std::function<QFont(ChartTextElement)> font;
    std::function<void(ChartTextElement, const QFont&)> setFont;
    std::function<void()> repaint;
    std::function<bool()> legendRight;
    std::function<void(bool right)> setLegendRight;
  };

  explicit TfmEditComments(QWidget* parent = nullptr);
  void setChartHooks(ChartHooks hooks) { m_hooks = std::move(hooks); }

  // Loads ChartTextsOptions into the fields and the legend position from the chart, runs
  // the dialog and, on OK, writes the fields back. False on cancel.
  bool run(DialogOptions& options) override;

  void setTexts(const ChartTextFields& texts);
  ChartTextFields texts() const;

 private:
  QToolButton* addFontButton(int number, ChartTextElement element, bool digits, const char* hint,
                             bool shown);
  QFontDialog& fontD();
  void chooseElementFont(ChartTextElement element);
  void chooseFontForAll();
  // The font most of the seven saved texts carry now.
  QFont sharedFont() const;

  ChartHooks m_hooks;
  QPlainTextEdit* m_memoTitle;
  QPlainTextEdit* m_memoFoot;
  QComboBox* m_edLeftAxis;
  QComboBox* m_edBottomAxis;
  QLineEdit* m_edTopAxis;
  QLineEdit* m_edRightAxis;
  QLineEdit* m_edLeftAngle;
  QLineEdit* m_edRightAngle;
  QLineEdit* m_edTopAngle;
  QLineEdit* m_edBottomAngle;
  QRadioButton* m_legendLeft;
  QRadioButton* m_legendRight;
  QFontDialog* m_fontD = nullptr;
};

}  // namespace tarvik::dialogs
