#pragma once
// The panel "Импульсы..." (a dock beside the chart): every transition and pulse of the
// active graph over the whole graph, the visible range or the stretch between the two
// cursors, with their statistics and the levels, as a table; marks at each t_mid on the
// chart's overlay; a histogram or a trend of the chosen metric column; the table on the
// clipboard. The measurement runs on a worker thread after every change of the graph,
// the range or a field, so the window never waits for it: a newer request makes an
// older result stale, and a stale result is dropped.
#include <QDockWidget>
#include <QPointer>
#include <QRect>
#include <memory>

#include "core/Graph.h"
#include "transforms/PulseCommands.h"

class QCPPainter;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;

namespace tarvik::app {

class TfmChart;
class PulseTableModel;
class PulseWorker;

class PulsePanel : public QDockWidget {
  Q_OBJECT
 public:
  enum class RangeChoice { Whole = 0, Visible = 1, Cursors = 2 };
  struct Request;  // what the worker measures

  explicit PulsePanel(TfmChart& window);
  ~PulsePanel() override;

  // Measures again soon (requests in one turn of the event loop are one). Unless
  // `dataChanged`, a request for the same points, range and fields as the last is dropped.
  void refresh(bool dataChanged);
  // The marks at each t_mid of the result shown, one per pixel column at most.
  void drawMarks(QCPPainter& painter, const QRect& plot) const;

  // What the panel shows: the result (null while there is none), the line above the table.
  const PulseReport* report() const { return m_report.get(); }
  QString statusText() const;
  // The whole table as "Копировать" puts it on the clipboard.
  QString tableText() const;

 signals:
  // A result or a message is on show for the newest request.
  void resultShown();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void buildFields(QWidget* area);
  void request();
  std::optional<PulseOptions> readOptions(QString& refusal) const;
  std::optional<PulseRange> readRange(QString& refusal) const;
  void accept(std::uint64_t generation, std::shared_ptr<const PulseReport> report,
              const QString& error);
  void showMessage(const QString& text);
  void goToRow(int row);
  void appendMetricGraph(bool histogram);
  void copyTable();

  TfmChart& m_window;
  QComboBox* m_range = nullptr;
  QComboBox* m_levels = nullptr;
  QLineEdit* m_low = nullptr;
  QLineEdit* m_high = nullptr;
  QSpinBox* m_bins = nullptr;
  QDoubleSpinBox* m_lower = nullptr;
  QDoubleSpinBox* m_mid = nullptr;
  QDoubleSpinBox* m_upper = nullptr;
  QDoubleSpinBox* m_region = nullptr;
  QDoubleSpinBox* m_tolerance = nullptr;
  QComboBox* m_polarity = nullptr;
  QSpinBox* m_classes = nullptr;
  QLabel* m_status = nullptr;
  QTableView* m_table = nullptr;
  PulseTableModel* m_model = nullptr;
  QPushButton* m_histogram = nullptr;
  QPushButton* m_trend = nullptr;
  QPushButton* m_copy = nullptr;
  QTimer* m_soon = nullptr;
  bool m_dataChanged = true;

  std::unique_ptr<PulseWorker> m_worker;
  std::uint64_t m_generation = 0;
  std::unique_ptr<Request> m_last;  // the newest request sent to the worker
  std::shared_ptr<const PulseReport> m_report;
  QString m_message;
};

}  // namespace tarvik::app
