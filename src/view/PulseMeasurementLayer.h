#pragma once
// The drawing of the live pulse measurement: after every repaint while the measurement is
// switched on (`SpeedButton4` down), the visible part of the active graph is measured and
// the result drawn on the overlay layer: the blue amplitude line, the blue rise markers
// (10 % and 90 % levels with their crossing columns), the red duration marker at 50 % and
// the red text in the legend font's size.
//
// Sensor messages met while measuring are never shown from inside the paint (a modal box
// there would re-enter painting): the layer keeps them, once per distinct sensor text or
// per switch-on, for the window to show after the paint.
#include <QRect>
#include <optional>
#include <string>
#include <vector>

#include "core/GraphStore.h"
#include "transforms/PulseMeasurement.h"

class QCPPainter;

namespace tarvik::view {

class ChartView;

class PulseMeasurementLayer {
 public:
  // Switching on measures at the next repaint and lets the sensor messages come again.
  void setOn(bool on);
  bool on() const { return m_on; }
  void setMethod(DurationMethod method) { m_method = method; }
  DurationMethod method() const { return m_method; }
  // The text of `Edit2` as the measurement reads it.
  void setSensorText(std::string text) { m_sensorText = std::move(text); }

  // Measures the active graph over the bottom axis's visible range and draws the result.
  // Nothing without an active graph or while switched off. Returns the measurement drawn.
  std::optional<PulseMeasurement> draw(QCPPainter& painter, const QRect& plot,
                                       const ChartView& chart, const GraphStore& store);

  // What the window does after the paint: the sensor messages to show (each once) and the
  // trimmed sensor text to put back into `Edit2` (a programmatic change).
  struct AfterPaint {
    std::vector<std::string> messages;
    std::optional<std::string> trimmedSensorText;
    bool empty() const { return messages.empty() && !trimmedSensorText; }
  };
  AfterPaint takeAfterPaint();
  bool hasAfterPaint() const { return !m_pending.empty(); }
  // The measurement of the last repaint (nullopt when nothing was drawn).
  const std::optional<PulseMeasurement>& last() const { return m_last; }

 private:
  void queue(const PulseMeasurement& m);

  bool m_on = false;
  DurationMethod m_method = DurationMethod::From50Percent;
  std::string m_sensorText = "0.0";
  // The sensor text whose messages were already shown since the last switch-on.
  std::optional<std::string> m_messagedText;
  AfterPaint m_pending;
  std::optional<PulseMeasurement> m_last;
};

}  // namespace tarvik::view
