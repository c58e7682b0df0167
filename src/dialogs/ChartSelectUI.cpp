#include "dialogs/ChartSelectUI.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dialogs/DialogSizing.h"
#include "io/UserFolders.h"
#include "synth/Calibration.h"
#include "synth/SensorCommands.h"

namespace tarvik::dialogs {
namespace {

constexpr int kColumnWidths[] = {125, 80, 239};

QTableWidgetItem* cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

TfmChartSelectUI::TfmChartSelectUI(QWidget* parent) : QDialog(parent) {
  setObjectName("fmChartSelectUI");
  setWindowTitle("Выбор файла калибровочной характеристики измерительного канала");
  m_folders << QCoreApplication::applicationDirPath()
            << QString::fromStdString(io::userDataFolder());
#ifdef TARVIK_DATA_FROM_BIN
  // The installed program's data folder (share/tarvik beside its bin folder).
  m_folders << QDir::cleanPath(QCoreApplication::applicationDirPath() + '/' +
                               QStringLiteral(TARVIK_DATA_FROM_BIN));
#endif

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Список имеющихся файлов калибровок *.CAL", this));
  m_grid = new QTableWidget(0, 3, this);
  m_grid->setObjectName("StringGrid1");
  m_grid->setHorizontalHeaderLabels({"Имя файла", "Дата", "Комментарий"});
  m_grid->verticalHeader()->hide();
  m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
  m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_grid->setWordWrap(false);
  int gridWidth = 2 * m_grid->frameWidth();
  for (int c = 0; c < 3; ++c) {
    m_grid->setColumnWidth(c, kColumnWidths[c]);
    gridWidth += kColumnWidths[c];
  }
  m_grid->horizontalHeader()->setStretchLastSection(true);
  m_grid->setMinimumWidth(gridWidth + m_grid->verticalScrollBar()->sizeHint().width());
  layout->addWidget(m_grid, 1);

  auto* choose = new QPushButton("Выбрать", this);
  choose->setObjectName("btnOK");
  choose->setDefault(true);
  auto* cancel = new QPushButton("Отмена", this);
  cancel->setObjectName("btnCancel");
  connect(choose, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_grid, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(choose);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  resize(minimumSizeHint().width(), 260);
  fitCaptionAndCentre(this);
}

void TfmChartSelectUI::rebuildGrid() {
  std::vector<std::string> folders;
  for (const QString& folder : m_folders) {
    folders.push_back(folder.toStdString());
  }
  const std::vector<synth::CalibrationFileInfo> files = synth::listCalibrationFiles(folders);
  m_grid->clearContents();
  m_grid->setRowCount(static_cast<int>(files.size()));
  m_paths.clear();
  const QLocale locale;
  for (const synth::CalibrationFileInfo& file : files) {
    const int row = static_cast<int>(m_paths.size());
    const QDate date = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(file.modified)).date();
    m_grid->setItem(row, 0, cell(QString::fromStdString(file.name)));
    m_grid->setItem(row, 1, cell(locale.toString(date, QLocale::ShortFormat)));
    m_grid->setItem(row, 2, cell(QString::fromStdString(file.comment)));
    m_paths.push_back(file.path);
  }
  if (!m_paths.empty()) {
    m_grid->selectRow(0);
  }
  m_grid->setFocus();
}

bool TfmChartSelectUI::run(DialogOptions& options) {
  auto& choice = dynamic_cast<synth::CalibrationFileChoice&>(options);
  rebuildGrid();
  if (exec() != QDialog::Accepted) {
    return false;
  }
  const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
  if (rows.isEmpty()) {
    return false;  // nothing to take: the same as "Отмена"
  }
  const auto row = static_cast<std::size_t>(rows.first().row());
  if (row >= m_paths.size()) {
    return false;
  }
  choice.path = m_paths[row];
  return true;
}

}  // namespace tarvik::dialogs
