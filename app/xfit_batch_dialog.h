#pragma once
// "Batch...": the loaded standards fitted to many spectrum files taken on a
// grid, with a progress bar and a cancel button; the maps are written to a
// folder and the chosen standard's false-colour map is shown. The fit runs
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

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace tolvane {

class XfitBatchDialog : public QDialog {
 public:
  XfitBatchDialog(const XfitWorkspace& loaded, QWidget* parent = nullptr);
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

  bool running() const { return worker_.joinable(); }
  const std::vector<KratioMap>& maps() const { return maps_; }

 private:
  void refreshState();
  void start();
  void poll();
  void finish();
  void showChosenMap();

  XfitWorkspace fit_;
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
