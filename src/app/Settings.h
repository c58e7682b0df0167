#pragma once
// The settings file: "<executable name>.INI" in the user's configuration folder, in the
// classic profile layout (QSettings INI format). Sections and keys keep their spelling;
// a missing file or key gives the default, and the first write creates the file.
#include <QList>
#include <QRect>
#include <QSettings>
#include <QString>
#include <array>
#include <memory>

namespace tarvik::app {

// Face name and size of one of the chart's fonts; only these two are stored.
struct FontSetting {
  QString name = "Arial";
  int size = 10;
};

// The seven chart fonts, in the order they are written.
enum class ChartFont {
  Title,
  Foot,
  LeftAxis,
  LeftAxisLabels,
  BottomAxis,
  BottomAxisLabels,
  BottomLegend
};
inline constexpr std::size_t kChartFontCount = 7;
using ChartFonts = std::array<FontSetting, kChartFontCount>;
// The key prefix of a font: "TitleFont" gives "TitleFontName" and "TitleFontSize".
QString fontKeyPrefix(ChartFont font);

class SettingsFile {
 public:
  // Opens the settings file at `path` (the file need not exist).
  explicit SettingsFile(const QString& path);
  // "<executable name>.INI" in the user's configuration folder.
  static QString defaultPath();

  QSettings& settings() { return *m_settings; }
  QString path() const { return m_settings->fileName(); }

  // "Ini"/"IniDir": the start folder of the open and save dialogs. The built-in default
  // "C:\" of the profile layout stands for the user's home folder.
  QString iniDir() const;
  void writeIniDir(const QString& folder);

  ChartFonts readFonts() const;
  void writeFonts(const ChartFonts& fonts);

  // "Form": Top, Left, Width, Height; each missing key keeps the value of `current`.
  QRect readForm(const QRect& current) const;
  void writeForm(const QRect& geometry);

  // "Vid"/"mnShowHidden": whether the commands hidden in the window's design are shown
  // (off by default).
  bool hiddenCommandsShown() const;
  void writeHiddenCommandsShown(bool shown);

  void sync() { m_settings->sync(); }

 private:
  std::unique_ptr<QSettings> m_settings;
};

// A window rectangle that lies wholly off every screen is moved onto the nearest screen
// (its size kept, shrunk to the screen when larger); otherwise it is returned unchanged.
// `screens` are the available geometries; with none the rectangle is left alone.
QRect placeOnScreens(const QRect& window, const QList<QRect>& screens);

}  // namespace tarvik::app
