#pragma once
// "Batch...": the loaded standards fitted to many spectrum files taken on a
// grid, with a progress bar and a cancel button; the maps and the CSV that
// `xfit --batch` prints are written to a folder, the chosen standard's
// false-colour map is shown, and so are the run's warnings (once per cause,
// with the count of files) and each file's fit quality. The fit runs
// on worker threads; nothing is written until every file is fitted, so a
// cancelled run leaves no output.
#include <QDialog>
#include <QStringList>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "xfit/batch_files.h"
#include "xfit/kratio_map.h"
#include "xfit/standards_check.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QPlainTextEdit;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace tolvane {

class XfitBatchDialog : public QDialog {
 public:
  // `standards`: the loaded standards with their headers, which the
  // samples' warnings compare against (none: no sample warnings).
  XfitBatchDialog(const XfitWorkspace& loaded, std::vector<StandardInUse> standards = {}, QWidget* parent = nullptr);
  ~XfitBatchDialog() override;

  // Where the files and the folder come from (file dialogs by default;
  // tests set their own).
  std::function<QStringList()> chooseFiles;
  std::function<QString()> chooseFolder;

  // The controls, by their captions: "Files...", "Folder...", "Start",
  // "Cancel"; the grid's width and height; the progress; the shown map.
  QPushButton *FilesButton, *FolderButton, *StartButton, *CancelButton;
  QSpinBox *MapWidth, *MapHeight;
  QProgressBar* Progress;
  QComboBox* StandardChoice;
  QLabel *MapPicture, *StatusText;
  // The table's and the samples' warnings, and per file: its chi-squares
  // and flags (the CSV's quality columns).
  QPlainTextEdit* Warnings;
  QTableWidget* Quality;

  bool running() const { return worker_.joinable(); }
  const std::vector<KratioMap>& maps() const { return maps_; }

 private:
  void refreshState();
  void start();
  void poll();
  void finish();
  void showChosenMap();
  // Fills Warnings and Quality from the results and returns the text of
  // kratios.csv.
  std::string showQuality();

  XfitWorkspace fit_;
  std::vector<StandardInUse> standards_;
  QStringList files_;
  QString folder_;
  std::vector<std::string> paths_;
  std::vector<BatchFileResult> results_;
  std::vector<KratioMap> maps_;
  std::thread worker_;
  std::atomic<size_t> done_{0};
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
  BatchRunOutcome outcome_ = BatchRunOutcome::Completed;
  QTimer* pollTimer_;
};

}  // namespace tolvane
