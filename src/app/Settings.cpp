#include "app/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <limits>

namespace tarvik::app {

namespace {

constexpr const char* kDefaultIniDir = "C:\\";

QString homeIfDefault(const QString& folder) {
  if (folder.isEmpty() || folder == kDefaultIniDir) {
    return QDir::homePath();
  }
  return folder;
}

// Squared distance between two rectangles (0 when they touch or overlap).
qint64 distanceSquared(const QRect& a, const QRect& b) {
  const qint64 dx =
      std::max<qint64>({0, qint64(b.left()) - a.right(), qint64(a.left()) - b.right()});
  const qint64 dy =
      std::max<qint64>({0, qint64(b.top()) - a.bottom(), qint64(a.top()) - b.bottom()});
  return dx * dx + dy * dy;
}

}  // namespace

QString fontKeyPrefix(ChartFont font) {
  switch (font) {
    case ChartFont::Title:
      return "TitleFont";
    case ChartFont::Foot:
      return "FootFont";
    case ChartFont::LeftAxis:
      return "LeftAxisFont";
    case ChartFont::LeftAxisLabels:
      return "LeftAxisLabelsFont";
    case ChartFont::BottomAxis:
      return "BottomAxisFont";
    case ChartFont::BottomAxisLabels:
      return "BottomAxisLabelsFont";
    case ChartFont::BottomLegend:
      return "BottomLegendFont";
  }
  return {};
}

SettingsFile::SettingsFile(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

QString SettingsFile::defaultPath() {
  const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  if (folder.isEmpty()) {
    folder = QDir::homePath();
  }
  QDir().mkpath(folder);
  return folder + "/" + (exe.isEmpty() ? QString("tarvik") : exe) + ".INI";
}

QString SettingsFile::iniDir() const {
  return homeIfDefault(m_settings->value("Ini/IniDir", kDefaultIniDir).toString());
}

void SettingsFile::writeIniDir(const QString& folder) {
  m_settings->setValue("Ini/IniDir", folder);
  m_settings->sync();
}

bool SettingsFile::hiddenCommandsShown() const {
  return m_settings->value("Vid/mnShowHidden", false).toBool();
}

void SettingsFile::writeHiddenCommandsShown(bool shown) {
  m_settings->setValue("Vid/mnShowHidden", shown);
  m_settings->sync();
}

ChartFonts SettingsFile::readFonts() const {
  ChartFonts fonts;
  for (std::size_t i = 0; i < kChartFontCount; ++i) {
    const QString prefix = "Fonts/" + fontKeyPrefix(static_cast<ChartFont>(i));
    fonts[i].name = m_settings->value(prefix + "Name", fonts[i].name).toString();
    bool ok = false;
    const int size = m_settings->value(prefix + "Size", fonts[i].size).toInt(&ok);
    if (ok && size > 0) {
      fonts[i].size = size;
    }
  }
  return fonts;
}

void SettingsFile::writeFonts(const ChartFonts& fonts) {
  for (std::size_t i = 0; i < kChartFontCount; ++i) {
    const QString prefix = "Fonts/" + fontKeyPrefix(static_cast<ChartFont>(i));
    m_settings->setValue(prefix + "Name", fonts[i].name);
    m_settings->setValue(prefix + "Size", fonts[i].size);
  }
}

QRect SettingsFile::readForm(const QRect& current) const {
  auto read = [this](const char* key, int fallback) {
    bool ok = false;
    const int v = m_settings->value(QString("Form/") + key, fallback).toInt(&ok);
    return ok ? v : fallback;
  };
  const int top = read("Top", current.top());
  const int left = read("Left", current.left());
  const int width = read("Width", current.width());
  const int height = read("Height", current.height());
  return QRect(left, top, std::max(width, 1), std::max(height, 1));
}

void SettingsFile::writeForm(const QRect& geometry) {
  m_settings->setValue("Form/Top", geometry.top());
  m_settings->setValue("Form/Left", geometry.left());
  m_settings->setValue("Form/Width", geometry.width());
  m_settings->setValue("Form/Height", geometry.height());
}

QRect placeOnScreens(const QRect& window, const QList<QRect>& screens) {
  if (screens.isEmpty()) {
    return window;
  }
  const QRect* nearest = nullptr;
  qint64 best = std::numeric_limits<qint64>::max();
  for (const QRect& screen : screens) {
    if (screen.intersects(window)) {
      return window;
    }
    const qint64 d = distanceSquared(window, screen);
    if (d < best) {
      best = d;
      nearest = &screen;
    }
  }
  QRect placed = window;
  placed.setWidth(std::min(window.width(), nearest->width()));
  placed.setHeight(std::min(window.height(), nearest->height()));
  const int left =
      std::clamp(window.left(), nearest->left(), nearest->right() - placed.width() + 1);
  const int top = std::clamp(window.top(), nearest->top(), nearest->bottom() - placed.height() + 1);
  placed.moveTo(left, top);
  return placed;
}

}  // namespace tarvik::app
