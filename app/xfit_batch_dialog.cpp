#include "app/xfit_batch_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <cmath>

#include "files/atomic_file.h"
#include "xfit/batch_report.h"
#include "xfit/fit_quality_plan.h"
#include "xfit/kratio_map_renderer.h"
#include "xfit/spill_line.h"

namespace tolvane {

XfitBatchDialog::XfitBatchDialog(const XfitWorkspace& loaded, std::vector<StandardInUse> standards, QWidget* parent)
    : QDialog(parent), fit_(loaded), standards_(std::move(standards)) {
  setWindowTitle("Xfit Batch");
  auto* grid = new QGridLayout(this);
  FilesButton = new QPushButton("Files...");
  FolderButton = new QPushButton("Folder...");
  StartButton = new QPushButton("Start");
  CancelButton = new QPushButton("Cancel");
  MapWidth = new QSpinBox;
  MapHeight = new QSpinBox;
  for (QSpinBox* box : {MapWidth, MapHeight}) box->setRange(1, 65535);
  Progress = new QProgressBar;
  StandardChoice = new QComboBox;
  MapPicture = new QLabel;
  MapPicture->setMinimumSize(320, 180);
  StatusText = new QLabel;
  Warnings = new QPlainTextEdit;
  Warnings->setReadOnly(true);
  Warnings->setMaximumHeight(90);
  Quality = new QTableWidget(0, 4);
  Quality->setHorizontalHeaderLabels({"File", "χ²ᵣ", "χ²ᵣ after spill", "Flags"});
  Quality->horizontalHeader()->setStretchLastSection(true);
  Quality->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->addWidget(FilesButton, 0, 0);
  grid->addWidget(FolderButton, 0, 1);
  grid->addWidget(new QLabel("Width"), 1, 0);
  grid->addWidget(MapWidth, 1, 1);
  grid->addWidget(new QLabel("Height"), 2, 0);
  grid->addWidget(MapHeight, 2, 1);
  grid->addWidget(StartButton, 3, 0);
  grid->addWidget(CancelButton, 3, 1);
  grid->addWidget(Progress, 4, 0, 1, 2);
  grid->addWidget(StatusText, 5, 0, 1, 2);
  grid->addWidget(StandardChoice, 6, 0, 1, 2);
  grid->addWidget(MapPicture, 7, 0, 1, 2);
  grid->addWidget(Warnings, 8, 0, 1, 2);
  grid->addWidget(Quality, 9, 0, 1, 2);

  chooseFiles = [this] {
    return QFileDialog::getOpenFileNames(this, "Spectra in raster order", QString(), "MCA Data(*.dat)");
  };
  chooseFolder = [this] { return QFileDialog::getExistingDirectory(this, "Folder for the maps"); };
  pollTimer_ = new QTimer(this);
  pollTimer_->setInterval(50);
  connect(pollTimer_, &QTimer::timeout, this, [this] { poll(); });
  connect(FilesButton, &QPushButton::clicked, this, [this] {
    const QStringList chosen = chooseFiles();
    if (chosen.isEmpty()) return;
    files_ = chosen;
    // A square grid when the count allows, else one row.
    const int side = static_cast<int>(std::lround(std::sqrt(static_cast<double>(files_.size()))));
    MapWidth->setValue(side * side == files_.size() ? side
                                                    : static_cast<int>(std::min<qsizetype>(files_.size(), 65535)));
    MapHeight->setValue(side * side == files_.size() ? side : 1);
    refreshState();
  });
  connect(FolderButton, &QPushButton::clicked, this, [this] {
    const QString chosen = chooseFolder();
    if (!chosen.isEmpty()) folder_ = chosen;
    refreshState();
  });
  connect(MapWidth, &QSpinBox::valueChanged, this, [this] { refreshState(); });
  connect(MapHeight, &QSpinBox::valueChanged, this, [this] { refreshState(); });
  connect(StartButton, &QPushButton::clicked, this, [this] { start(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] {
    if (running())
      cancel_ = true;
    else
      reject();
  });
  connect(StandardChoice, &QComboBox::currentIndexChanged, this, [this] { showChosenMap(); });
  refreshState();
}

XfitBatchDialog::~XfitBatchDialog() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void XfitBatchDialog::refreshState() {
  const qsizetype points = static_cast<qsizetype>(MapWidth->value()) * MapHeight->value();
  QString problem;
  if (fit_.FitCount == 0)
    problem = "No standards loaded";
  else if (files_.isEmpty())
    problem = "Choose the spectrum files";
  else if (points != files_.size())
    problem = QString("%1 x %2 needs %3 files, %4 chosen")
                  .arg(MapWidth->value())
                  .arg(MapHeight->value())
                  .arg(points)
                  .arg(files_.size());
  else if (folder_.isEmpty())
    problem = "Choose the folder for the maps";
  if (!running()) StatusText->setText(problem.isEmpty() ? QString("%1 files ready").arg(files_.size()) : problem);
  StartButton->setEnabled(problem.isEmpty() && !running());
  for (QWidget* w : std::initializer_list<QWidget*>{FilesButton, FolderButton, MapWidth, MapHeight})
    w->setEnabled(!running());
}

void XfitBatchDialog::start() {
  if (running() || !StartButton->isEnabled()) return;
  paths_.clear();
  for (const QString& f : files_) paths_.push_back(f.toLocal8Bit().toStdString());
  maps_.clear();
  StandardChoice->clear();
  MapPicture->clear();
  Warnings->clear();
  Quality->setRowCount(0);
  done_ = 0;
  cancel_ = false;
  finished_ = false;
  Progress->setRange(0, static_cast<int>(std::min<qsizetype>(files_.size(), INT32_MAX)));
  Progress->setValue(0);
  StatusText->setText("Fitting...");
  worker_ = std::thread([this] {
    BatchFileOptions options;
    options.done = &done_;
    options.cancel = &cancel_;
    options.assessQuality = true;
    outcome_ = fitSpectrumFiles(fit_, paths_, results_, options);
    finished_ = true;
  });
  refreshState();
  pollTimer_->start();
}

void XfitBatchDialog::poll() {
  Progress->setValue(static_cast<int>(std::min<size_t>(done_.load(), INT32_MAX)));
  if (finished_) finish();
}

void XfitBatchDialog::finish() {
  pollTimer_->stop();
  worker_.join();
  refreshState();
  if (outcome_ == BatchRunOutcome::Cancelled) {
    StatusText->setText("Cancelled: nothing written");
    return;
  }
  const MapSize size{MapWidth->value(), MapHeight->value()};
  maps_ = kratioMaps(fit_, size, results_);
  size_t failed = 0;
  for (const BatchFileResult& r : results_) failed += r.status == BatchFileStatus::Fitted ? 0 : 1;
  // The quality and the warnings are shown whether or not the files can
  // be written: they say what the run found.
  const std::string csv = showQuality();
  std::string error;
  bool written = true;
  for (const KratioMap& map : maps_)
    written = written && writeKratioMapFiles(map, folder_.toLocal8Bit().toStdString(), &error);
  const std::string csvPath = folder_.toLocal8Bit().toStdString() + "/kratios.csv";
  written = written && writeFileAtomically(csvPath, csv.data(), csv.size(), &error);
  QString text = written ? QString("Maps and kratios.csv written to %1").arg(folder_)
                         : QString::fromStdString("Not written: " + error);
  if (failed > 0) text += QString("; %1 file(s) could not be read or fitted").arg(failed);
  StatusText->setText(text);
  for (const KratioMap& map : maps_)
    StandardChoice->addItem(QString("%1 (Std No.%2)").arg(QString::fromStdString(map.element)).arg(map.record + 1, 2));
  showChosenMap();
}

void XfitBatchDialog::showChosenMap() {
  const int chosen = StandardChoice->currentIndex();
  if (chosen < 0 || static_cast<size_t>(chosen) >= maps_.size()) return;
  MapPicture->setPixmap(QPixmap::fromImage(kratioColourImage(maps_[static_cast<size_t>(chosen)])));
}

std::string XfitBatchDialog::showQuality() {
  std::vector<std::string> lines;
  const FitQualityPlan plan(fit_);
  for (const FitFlag& spill : plan.spills()) lines.push_back("table: " + spillFlagText(spill, fit_, standards_));
  std::string csv = batchCsvHeader(fit_) + "\n";
  WarningSummary summary;
  Quality->setRowCount(static_cast<int>(std::min<size_t>(results_.size(), INT32_MAX)));
  const auto cell = [](const std::string& text) { return new QTableWidgetItem(QString::fromStdString(text)); };
  for (size_t i = 0; i < results_.size(); ++i) {
    const BatchFileResult& result = results_[i];
    const bool read = result.status == BatchFileStatus::Fitted || result.status == BatchFileStatus::NotFitted;
    const std::vector<SampleWarning> warnings =
        read ? sampleWarnings(result.header, result.channels, standards_) : std::vector<SampleWarning>{};
    summary.add(paths_[i], warnings);
    csv += batchCsvRow(paths_[i], result, standards_, warnings) + "\n";
    const FitQuality& quality = result.status == BatchFileStatus::Fitted ? result.quality : FitQuality{};
    const auto row = static_cast<int>(i);
    Quality->setItem(row, 0, cell(paths_[i]));
    Quality->setItem(row, 1, cell(quality.valid ? chi2Cell(quality.chi2Reduced) : ""));
    Quality->setItem(row, 2, cell(quality.valid ? chi2Cell(quality.chi2ReducedAfterSpill) : ""));
    Quality->setItem(row, 3, cell(fitFlagsCell(quality, warnings)));
  }
  for (const std::string& line : summary.lines()) lines.push_back(line);
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  Warnings->setPlainText(QString::fromStdString(text));
  return csv;
}

}  // namespace tolvane
