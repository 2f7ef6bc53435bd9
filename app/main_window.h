#pragma once
// TForm1: the main window. It owns the Session and the plot renderer, lays
// out every control at its place, forwards each event to the core
// operation, and then mirrors the Session into the widgets in one refresh.
#include <QMainWindow>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "handlers/scan_setup_handlers.h"
#include "handlers/mca_setup_handlers.h"
#include "app/session.h"
#include "display/painting_recorder.h"
#include "display/plot_renderer.h"
#include "lines/spectrum_lines.h"
#include "files/export_file.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;

namespace tolvane {

class MapViewWindow;
class PlotWidget;
class TMcaAbout;
class QuantDialog;

class TForm1 final : public QMainWindow {
 public:
  static constexpr int kClientWidth = 729;
  static constexpr int kClientHeight = 402;
  static constexpr const char* kCaption = "Tolvane Dorvel Controll Program";

  TForm1(FtdiApi& api, Clock& clock, QWidget* parent = nullptr);
  ~TForm1() override;

  Session& session() { return session_; }
  PlotRenderer& renderer() { return renderer_; }
  void setAboutDialog(TMcaAbout* about) { about_ = about; }

  // The file dialogs, replaceable so tests can supply a path. An empty
  // result means the dialog was cancelled.
  std::function<QString()> chooseReadPath;
  std::function<QString()> chooseWritePath;
  std::function<QString()> chooseDumpPath;
  // File > Export's dialog: the path and the format its file-type filter
  // chose (nothing when cancelled). File > Import's dialog: an EMSA/MSA file.
  struct ExportChoice {
    QString path;
    ExportFormat format = ExportFormat::Msa;
  };
  std::function<std::optional<ExportChoice>()> chooseExportPath;
  std::function<QString()> chooseImportPath;
  // File > Open Map...'s dialog: a map file.
  std::function<QString()> chooseMapPath;
  // The MCA setup dialog; returns whether it ended with OK.
  std::function<bool(McaSetupFields&)> runSetupDialog;
  std::function<bool(ScanSetupFields&)> runScanSetupDialog;
  // The data module's table dialogs and the standards editor.
  std::function<QString()> chooseTablePath;
  std::function<bool()> runEditor;
  // "Batch...": the batch fit of many files against the loaded standards.
  std::function<void(const XfitWorkspace&)> runXfitBatch;
  // The question File > Exit and closing the window ask while a run counts.
  enum class RunExitChoice { StopAndKeep, ExitWithoutSaving, Cancel };
  std::function<RunExitChoice()> askExitDuringRun;
  // The peak list; returns true when "Use elements" was pressed.
  std::function<bool(const SpectrumLinesResult&)> runPeakList;
  // "Lines...": the calibration from many lines (the dialog, modal).
  std::function<void()> runCalibrationLines;

  // Mirrors the Session into every widget and the timer.
  void refresh();
  // Timer1's tick.
  void onTimer1();
  // Called on the window's thread just before a tick's exchange starts
  // (tests pace a manual clock with it).
  std::function<void()> beforeTick;
  // Whether an exchange with the analyser is under way off the window's
  // thread.
  bool linkBusy() const { return linkBusy_; }

  // Controls, named as in the layout.
  QWidget* Client = nullptr;
  PlotWidget* PaintBox1 = nullptr;
  QLabel *Label1, *Label2, *Label3, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
  QScrollBar* ScrollBar1 = nullptr;
  QTabWidget* ZARV = nullptr;
  QWidget *ZORV, *VEXA, *ROISet, *ROISCA;
  QLineEdit *Edit4, *Edit2;
  QPushButton *ZorvStart, *ZorvStop, *ZorvClear, *Button7;
  QCheckBox* CheckBox1;
  QPushButton *McaOpen, *McaStart, *McaStop, *McaClear, *Button10;
  QComboBox* ROINoSelect;
  QCheckBox* ROIOnCheck;
  QComboBox* ROIColor;
  QLineEdit *Element, *EditROILow, *EditROIHigh;
  QCheckBox *ROILowCh, *ROIHighCh;
  QGroupBox* AcqMode;
  QRadioButton *SCAGATE, *SCAFAST, *MCA;
  QWidget* Panel1;
  QToolButton *UpDown1Up, *UpDown1Down;
  QPushButton *AutoVfs, *LogDisp, *Expand, *Compres, *SnapPeak;
  QTabWidget* PageControl1;
  QCheckBox *LengCh, *HengCh;
  QLineEdit *LowCh, *HiCh, *LoEng, *HiEng, *ChKev;
  QPushButton* EngCalib;
  // The calibration from many lines and its Undo.
  QPushButton *CalibLines = nullptr, *CalibUndo = nullptr;
  QRadioButton *McaMem, *Mem1Spec, *Mem2Spec, *Mem3Spec;
  QPushButton *FWHM, *MnKaFit, *OverLapON, *PrintSpec, *PlotLpt;
  QLabel* FwhmVal;
  QPushButton *AddStd, *EditStd, *ListStd, *LoadStd, *MLSQfit, *BatchFit;
  QPushButton* Quant = nullptr;        // the fit's wt% by fundamental parameters
  QuantDialog* QuantWindow = nullptr;  // made by the first "Quant"
  QCheckBox* XfitQuality = nullptr;    // the fit's quality line; checked: residual curve shown
  QLabel* PrecisionReadout = nullptr;  // the precision preset's progress
  QLineEdit* Edit1;
  QStatusBar* StatusBar1;
  QTimer* Timer1;
  QAction *Read1, *Write2, *Write1, *Import1, *Export1, *Exit1, *DefaultVal1, *Option1, *Open1, *Scan1, *About1;
  QAction* OpenMap1 = nullptr;
  // The element maps of a mapped scan (opened with its first pass) or of a
  // map file; null until one is shown.
  MapViewWindow* MapView = nullptr;
  // The "Lines" page: marked elements, markers on/off, identify, peak list.
  QLineEdit* LinesEdit = nullptr;
  QCheckBox* LinesOn = nullptr;
  QPushButton *Identify = nullptr, *Peaks = nullptr;
  // Identify at the cursor, with the full list as a tool tip.
  void identifyAtCursor();
  // On the "Lines" page: the SNIP background drawn, the ROIs' net over it,
  // its width, and memory overlays normalised by live time.
  QCheckBox *SnipShown = nullptr, *RoiNetSnip = nullptr, *NormaliseLT = nullptr;
  QLineEdit* SnipWidthEdit = nullptr;

 private:
  void buildLeftSide();
  void buildPages();
  void buildPanel();
  void buildMenus();
  void connectViewControls();
  void connectRoiPage();
  void connectCalibrationPage();
  void buildLinesPage();
  void refreshLinesPage();
  void buildBackgroundPage();
  void refreshBackgroundPage();
  void refreshPages();
  void refreshScrollBar();
  // Runs a core operation, then refreshes the widgets. While an exchange
  // with the analyser is under way, the operation waits its turn.
  void handle(std::function<void()> operation);
  // Runs an operation that talks to the analyser on a worker thread; the
  // window keeps handling events meanwhile and shows the result when it
  // ends. `stops` (Stop) first ends a read that is still waiting.
  void handleOnLink(std::function<void()> operation, bool stops = false);
  void runWaitingOperations();
  // "SetUp" on the MCA and ZORV pages: the dialog here, its frames on the worker.
  void mcaSetUp();
  void scanSetUp();
  // "Quant": quantifies the fit and shows the Quant window.
  void quantFit();
  // Runs `operation` now, or after the exchange under way when there is one.
  void whenIdle(std::function<void()> operation);

 protected:
  // A press on the window outside the plot acts like a press on the plot.
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Read1Click();
  void Write1Click();
  void Write2Click();
  void Import1Click();
  void Export1Click();
  void OpenMap1Click();
  // Shows the running (or last) mapped scan's maps when passes were added.
  void refreshMapView();
  MapViewWindow* mapView();
  int64_t mapPassShown_ = -1;
  void Exit1Click();
  // Whether the window may close: asks first while a run counts, and stops
  // the run when the user keeps its spectrum.
  bool mayClose();
  void About1Click();

  PlotRenderer renderer_;
  Session session_;
  // Off-thread exchanges: the paints they ask for, the operations that
  // arrived meanwhile, and a close asked for meanwhile.
  PaintingRecorder recordedPaints_;
  std::deque<std::function<void()>> waitingOperations_;
  bool linkBusy_ = false;
  // The polling tick under way (cleared by the worker as it finishes) and
  // a tick waiting behind another exchange.
  std::atomic<bool> tickRunning_{false};
  bool tickWaiting_ = false;
  bool closeWhenIdle_ = false;
  // What refresh() last showed: whether a run counts (or a stop went
  // unanswered). Read while the worker holds the Session.
  bool runShown_ = false;
  bool exitConfirmed_ = false;
  TMcaAbout* about_ = nullptr;
};

}  // namespace tolvane
