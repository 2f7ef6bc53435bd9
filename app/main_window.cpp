#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "acquisition/mca_setup_dialog.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "acquisition/sca_modes.h"
#include "acquisition/scan_setup_dialog.h"
#include "analysis/resolution_fit.h"
#include "app/about_dialog.h"
#include "app/calibration_lines_dialog.h"
#include "app/caption_fit_gui.h"
#include "app/map_view_window.h"
#include "app/off_thread_run_gui.h"
#include "handlers/status_text.h"
#include "app/xfit_batch_dialog.h"
#include "display/plot_widget.h"
#include "display/view_window.h"
#include "files/map_file_reader.h"
#include "files/path_name.h"
#include "files/print_gui.h"
#include "roi/roi_maps_from_file.h"
#include "handlers/analysis_handlers.h"
#include "handlers/calibration_lines_handlers.h"
#include "handlers/file_handlers.h"
#include "handlers/lines_handlers.h"
#include "handlers/memory_handlers.h"
#include "handlers/plot_handlers.h"
#include "handlers/roi_handlers.h"
#include "handlers/view_handlers.h"
#include "handlers/xfit_handlers.h"
#include "xfit/quant_dialog.h"
#include "xfit/standards_editor_dialog.h"
#include "xfit/table_file_dialog.h"

namespace tolvane {

namespace {

template <typename W>
W* place(W* widget, const char* name, int x, int y, int w, int h) {
  widget->setObjectName(name);
  widget->setGeometry(x, y, w, h);
  return widget;
}

QLabel* label(QWidget* parent, const char* name, const char* text, int x, int y, int w = 0) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->adjustSize();
  l->move(x, y);
  if (w > 0) l->resize(w, l->height());
  return l;
}

QPushButton* button(QWidget* parent, const char* name, const char* text, int x, int y, int w, int h = 22) {
  return place(new QPushButton(text, parent), name, x, y, w, h);
}

QLineEdit* edit(QWidget* parent, const char* name, const char* text, int x, int y, int w, int h = 20) {
  return place(new QLineEdit(text, parent), name, x, y, w, h);
}

QCheckBox* check(QWidget* parent, const char* name, const char* text, int x, int y, int w) {
  return place(new QCheckBox(text, parent), name, x, y, w, 18);
}

QRadioButton* radio(QWidget* parent, const char* name, const char* text, int x, int y, int w) {
  return place(new QRadioButton(text, parent), name, x, y, w, 18);
}

QString fromText(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString askPath(QWidget* parent, bool save, const char* filter = "spectrum(*.dat)", const char* suffix = "dat") {
  QFileDialog dialog(parent);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(suffix);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

// The export dialog: one file-type filter per format; the filter chosen
// names the format and the suffix added to a bare name.
std::optional<TForm1::ExportChoice> askExportPath(QWidget* parent) {
  struct Filter {
    const char* text;
    const char* suffix;
    ExportFormat format;
  };
  static const Filter kFilters[] = {{"EMSA/MSA (*.msa)", "msa", ExportFormat::Msa},
                                    {"SPEC (*.spec)", "spec", ExportFormat::Spec},
                                    {"CSV (*.csv)", "csv", ExportFormat::Csv}};
  QFileDialog dialog(parent);
  QStringList names;
  for (const Filter& f : kFilters) names << f.text;
  dialog.setNameFilters(names);
  dialog.setDefaultSuffix(kFilters[0].suffix);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
    for (const Filter& f : kFilters)
      if (chosen == f.text) dialog.setDefaultSuffix(f.suffix);
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  for (const Filter& f : kFilters)
    if (dialog.selectedNameFilter() == f.text) return TForm1::ExportChoice{dialog.selectedFiles().front(), f.format};
  return TForm1::ExportChoice{dialog.selectedFiles().front(), ExportFormat::Msa};
}

TForm1::RunExitChoice askRunExit(QWidget* parent) {
  QMessageBox box(QMessageBox::Question, TForm1::kCaption, "A run is in progress:", QMessageBox::NoButton, parent);
  QPushButton* keep = box.addButton("Stop and keep the spectrum", QMessageBox::AcceptRole);
  QPushButton* leave = box.addButton("Exit without saving", QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(keep);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == keep) return TForm1::RunExitChoice::StopAndKeep;
  if (box.clickedButton() == leave) return TForm1::RunExitChoice::ExitWithoutSaving;
  return TForm1::RunExitChoice::Cancel;
}

}  // namespace

TForm1::TForm1(FtdiApi& api, Clock& clock, QWidget* parent)
    : QMainWindow(parent), renderer_(palette().color(QPalette::Button)), session_(api, clock) {
  setObjectName("Form1");
  setWindowTitle(kCaption);
  Client = new QWidget(this);
  Client->setObjectName("Client");
  Client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(Client);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, [this] { onTimer1(); });

  buildLeftSide();
  buildPages();
  buildPanel();
  buildMenus();
  Edit1 = edit(Client, "Edit1", "Status", 550, 356, 169);
  StatusBar1 = place(new QStatusBar(Client), "StatusBar1", 0, kClientHeight - 19, kClientWidth, 19);
  StatusBar1->setSizeGripEnabled(false);

  chooseReadPath = [this] { return askPath(this, false); };
  chooseWritePath = [this] { return askPath(this, true); };
  chooseDumpPath = [this] { return askPath(this, true, "Spectrumn(*.txt)", "txt"); };
  chooseExportPath = [this] { return askExportPath(this); };
  chooseImportPath = [this] {
    return askPath(this, false,
                   "Spectra (*.msa *.ems *.emsa *.mca *.spec *.txt *.csv *.dat);;EMSA/MSA (*.msa *.ems *.emsa);;"
                   "MCA text (*.mca);;SPEC (*.spec);;Text columns (*.txt *.csv *.dat);;All files (*)",
                   "msa");
  };
  chooseMapPath = [this] { return askPath(this, false, "Map (*.nxs *.h5 *.hdf5)", "nxs"); };
  askExitDuringRun = [this] { return askRunExit(this); };
  runSetupDialog = [this](McaSetupFields& fields) { return runMcaSetupDialog(this, fields); };
  runScanSetupDialog = [this](ScanSetupFields& fields) { return tolvane::runScanSetupDialog(this, fields); };
  chooseTablePath = [this] { return chooseTableOpenPath(this); };
  // A table saved under another name takes its conditions file along.
  runEditor = [this] {
    return runStandardsEditor(this, session_.DataModule.Table, &session_.FitQuant.Last,
                              [this](const std::string& path) { TableSavedAs(session_, path); });
  };
  runXfitBatch = [this](const XfitWorkspace& loaded) {
    XfitBatchDialog dialog(loaded, loadedStandards(session_.DataModule), this);
    dialog.exec();
  };
  Edit1->installEventFilter(this);
  connectViewControls();
  connectRoiPage();
  connectCalibrationPage();

  session_.Painter = &renderer_;
  InitialiseState(session_);
  refresh();
  fitCaptions(Client);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

TForm1::~TForm1() { session_.Painter = nullptr; }

void TForm1::buildLeftSide() {
  PaintBox1 = place(new PlotWidget(renderer_, Client), "PaintBox1", 5, 4, kPaintBoxWidth, kPaintBoxHeight);
  Label1 = label(Client, "Label1", "0000ch", 18, 346);
  Label3 = label(Client, "Label3", "@1024", 138, 346);
  Label5 = label(Client, "Label5", "[", 180, 346);
  Label8 = label(Client, "Label8", "0.00", 200, 346);
  Label9 = label(Client, "Label9", "keV", 248, 346);
  Label6 = label(Client, "Label6", "]", 280, 346);
  Label7 = label(Client, "Label7", "12345678", 296, 346);
  Label10 = label(Client, "Label10", "Counts", 352, 346);
  Label2 = label(Client, "Label2", "2047ch", 490, 346);
  ScrollBar1 = place(new QScrollBar(Qt::Horizontal, Client), "ScrollBar1", 8, 360, 523, 16);
  ScrollBar1->setSingleStep(kScrollLine);
}

void TForm1::buildPages() {
  ZARV = place(new QTabWidget(Client), "ZARV", 550, 8, 169, 125);
  // Four tabs must fit in 169 pixels.
  Client->setStyleSheet("QTabBar::tab { padding: 2px 5px; }");

  ZORV = new QWidget;
  ZORV->setObjectName("ZORV");
  Edit4 = edit(ZORV, "Edit4", "ScanCount", 6, 6, 90);
  label(ZORV, "Label4", "scans", 102, 8);
  ZorvStart = button(ZORV, "ZorvStart", "Start", 6, 32, 48);
  ZorvStop = button(ZORV, "ZorvStop", "Abort", 56, 32, 48);
  ZorvClear = button(ZORV, "ZorvClear", "Clear", 106, 32, 48);
  Button7 = button(ZORV, "Button7", "SetUp", 6, 60, 60);
  CheckBox1 = check(ZORV, "CheckBox1", "TestRun", 74, 62, 80);

  VEXA = new QWidget;
  VEXA->setObjectName("VEXA");
  McaOpen = button(VEXA, "McaOpen", "OpenMCA", 6, 6, 76);
  Edit2 = edit(VEXA, "Edit2", "Dev#", 88, 7, 66);
  McaStart = button(VEXA, "McaStart", "Start", 6, 32, 48);
  McaStop = button(VEXA, "McaStop", "Stop", 56, 32, 48);
  McaClear = button(VEXA, "McaClear", "Clear", 106, 32, 48);
  Button10 = button(VEXA, "Button10", "SetUp", 6, 60, 76);
  PrecisionReadout = label(VEXA, "PrecisionReadout", "", 6, 86, 156);

  ROISet = new QWidget;
  ROISet->setObjectName("ROISet");
  ROINoSelect = place(new QComboBox(ROISet), "ROINoSelect", 4, 4, 78, 20);
  for (int i = 0; i < 16; ++i) ROINoSelect->addItem(QString("ROI #%1").arg(i, 2));
  ROINoSelect->addItem(QString());
  ROIOnCheck = check(ROISet, "ROIOnCheck", "ON", 86, 5, 40);
  ROIColor = place(new QComboBox(ROISet), "ROIColor", 124, 4, 38, 20);
  ROIColor->setIconSize(QSize(9, 12));
  Element = edit(ROISet, "Element", "Element", 4, 28, 78);
  ROILowCh = check(ROISet, "ROILowCh", "L_Ch", 4, 52, 50);
  EditROILow = edit(ROISet, "EditROILow", "", 58, 51, 56);
  ROIHighCh = check(ROISet, "ROIHighCh", "H_Ch ", 4, 74, 50);
  EditROIHigh = edit(ROISet, "EditROIHigh", "", 58, 73, 56);

  ROISCA = new QWidget;
  ROISCA->setObjectName("ROISCA");
  AcqMode = place(new QGroupBox(" ROISCA", ROISCA), "AcqMode", 4, 2, 155, 76);
  SCAGATE = radio(AcqMode, "SCAGATE", "SCAGATE", 10, 16, 120);
  SCAFAST = radio(AcqMode, "SCAFAST", "SCAFAST", 10, 34, 120);
  MCA = radio(AcqMode, "MCA", "MCA", 10, 52, 120);
  MCA->setChecked(true);

  ZARV->addTab(ZORV, "ZORV");
  ZARV->addTab(VEXA, "MCA");
  ZARV->addTab(ROISet, "ROI");
  ZARV->addTab(ROISCA, "ROISCA");
  ZARV->setCurrentWidget(VEXA);

  PageControl1 = place(new QTabWidget(Client), "PageControl1", 550, 232, 169, 122);
  auto* calib = new QWidget;
  calib->setObjectName("EngCalibPage");
  LengCh = check(calib, "LengCh", "L_Ch.", 4, 5, 50);
  LowCh = edit(calib, "LowCh", "Low Ch", 54, 4, 52);
  LoEng = edit(calib, "LoEng", "Low Energy", 108, 4, 54);
  HengCh = check(calib, "HengCh", "H_Ch.", 4, 29, 50);
  HiCh = edit(calib, "HiCh", "High Ch", 54, 28, 52);
  HiEng = edit(calib, "HiEng", "Hi Energy", 108, 28, 54);
  label(calib, "LabelUnit", "Unit:", 4, 56);
  ChKev = edit(calib, "ChKev", "keV", 36, 53, 40);
  EngCalib = button(calib, "EngCalib", "Exec Calib", 82, 52, 80);
  CalibLines = button(calib, "CalibLines", "Lines...", 4, 76, 76);
  CalibLines->setToolTip("Calibration through many known lines, with the residual of each");
  CalibUndo = button(calib, "CalibUndo", "Undo", 82, 76, 80);
  CalibUndo->setToolTip("Back to the calibration before the last one from lines");

  auto* calicPlot = new QWidget;
  calicPlot->setObjectName("CalicPlotPage");
  auto* mem = place(new QGroupBox("Mem", calicPlot), "MemGroup", 2, 0, 70, 94);
  McaMem = radio(mem, "McaMem", "MCA", 6, 16, 60);
  Mem1Spec = radio(mem, "Mem1Spec", "Mem1", 6, 34, 60);
  Mem2Spec = radio(mem, "Mem2Spec", "Mem2", 6, 52, 60);
  Mem3Spec = radio(mem, "Mem3Spec", "Mem3", 6, 70, 60);
  McaMem->setChecked(true);
  FWHM = button(calicPlot, "FWHM", "FWHM Calic.", 76, 1, 86, 20);
  FwhmVal = label(calicPlot, "FwhmVal", "Ch [ keV ]", 78, 22, 84);
  MnKaFit = button(calicPlot, "MnKaFit", "Mn Ka Fit", 76, 36, 86, 20);
  OverLapON = button(calicPlot, "OverLapON", "SnapShot", 76, 57, 86, 20);
  PrintSpec = button(calicPlot, "PrintSpec", "H.Copy", 76, 78, 42, 20);
  PlotLpt = button(calicPlot, "PlotLpt", "Plot", 120, 78, 42, 20);

  auto* xfit = new QWidget;
  xfit->setObjectName("XfitPage");
  AddStd = button(xfit, "AddStd", "Add Std", 4, 8, 65, 20);
  EditStd = button(xfit, "EditStd", "Edit Std", 4, 35, 65, 20);
  ListStd = button(xfit, "ListStd", "List Std", 4, 64, 65, 20);
  LoadStd = button(xfit, "LoadStd", "Load Std", 80, 64, 73, 20);
  MLSQfit = button(xfit, "MLSQfit", "MLSQ Fit", 80, 8, 73, 45);
  BatchFit = button(xfit, "BatchFit", "Batch…", 4, 86, 36, 18);
  Quant = button(xfit, "Quant", "Quant", 42, 86, 34, 18);
  Quant->setToolTip("wt% of the fit by fundamental parameters, under the table's excitation and geometry");
  // The quality line is long: the box shows its head, the tooltip all of it.
  XfitQuality = check(xfit, "XfitQuality", "", 80, 86, 80);
  XfitQuality->setToolTip("Check to draw the fit's residual over the plot");

  PageControl1->addTab(calib, "Eng.Calib");
  PageControl1->addTab(calicPlot, "Calic. Plot");
  PageControl1->addTab(xfit, "Xfit");
  buildLinesPage();
  buildBackgroundPage();
  PageControl1->setCurrentWidget(calicPlot);

  connect(McaOpen, &QPushButton::clicked, this, [this] { handleOnLink([this] { McaOpenClick(session_); }); });
  connect(McaStart, &QPushButton::clicked, this, [this] { handleOnLink([this] { McaStartClick(session_); }); });
  connect(McaStop, &QPushButton::clicked, this, [this] { handleOnLink([this] { McaStopClick(session_); }, true); });
  connect(McaClear, &QPushButton::clicked, this, [this] { handleOnLink([this] { McaClearClick(session_); }); });
  connect(Button10, &QPushButton::clicked, this,
          [this] { handle([this] { mcaSetUp(); }); });
  connect(ZorvStart, &QPushButton::clicked, this, [this] { handleOnLink([this] { ZorvStartClick(session_); }); });
  connect(ZorvStop, &QPushButton::clicked, this, [this] { handleOnLink([this] { ZorvStopClick(session_); }, true); });
  connect(ZorvClear, &QPushButton::clicked, this, [this] { handleOnLink([this] { ZorvClearClick(session_); }); });
  connect(Button7, &QPushButton::clicked, this,
          [this] { handle([this] { scanSetUp(); }); });
  connect(McaMem, &QRadioButton::clicked, this, [this] { handleOnLink([this] { McaMemClick(session_); }); });
  connect(Mem1Spec, &QRadioButton::clicked, this, [this] { handleOnLink([this] { MemSpecClick(session_, 1); }); });
  connect(Mem2Spec, &QRadioButton::clicked, this, [this] { handleOnLink([this] { MemSpecClick(session_, 2); }); });
  connect(Mem3Spec, &QRadioButton::clicked, this, [this] { handleOnLink([this] { MemSpecClick(session_, 3); }); });
  connect(OverLapON, &QPushButton::clicked, this, [this] { handleOnLink([this] { OverLapONClick(session_); }); });
  connect(SCAGATE, &QRadioButton::clicked, this, [this] { handleOnLink([this] { SCAGATEClick(session_); }); });
  connect(SCAFAST, &QRadioButton::clicked, this, [this] { handleOnLink([this] { SCAFASTClick(session_); }); });
  connect(MCA, &QRadioButton::clicked, this, [this] { handleOnLink([this] { MCAClick(session_); }); });
}

namespace {

// The colour box's list: the usual named colours, as 0x00BBGGRR.
const std::pair<const char*, Colour24> kColourChoices[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080},  {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080},  {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},     {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF},
};

// The box is narrower than the colour names: it shows swatches, and each
// name is the swatch's tool tip.
void addColour(QComboBox* box, const QString& name, Colour24 colour) {
  QPixmap swatch(9, 12);
  swatch.fill(QColor(toQRgb(colour)));
  box->addItem(QIcon(swatch), QString(), QVariant::fromValue(static_cast<uint>(colour)));
  box->setItemData(box->count() - 1, name, Qt::ToolTipRole);
}

// Selects `colour` in the box, adding it when it is not one of the list's.
void selectColour(QComboBox* box, Colour24 colour) {
  int index = box->findData(QVariant::fromValue(static_cast<uint>(colour)));
  if (index < 0) {
    addColour(box, QString("0x%1").arg(colour, 6, 16, QChar('0')), colour);
    index = box->count() - 1;
  }
  box->setCurrentIndex(index);
}

ScrollCode scrollCodeOf(int action) {
  if (action == QAbstractSlider::SliderSingleStepSub) return ScrollCode::LineLeft;
  if (action == QAbstractSlider::SliderSingleStepAdd) return ScrollCode::LineRight;
  return ScrollCode::Other;
}

}  // namespace

void TForm1::connectViewControls() {
  connect(LogDisp, &QPushButton::clicked, this, [this] { handleOnLink([this] { LogDispClick(session_); }); });
  connect(AutoVfs, &QPushButton::clicked, this, [this] { handleOnLink([this] { AutoVfsClick(session_); }); });
  connect(UpDown1Up, &QToolButton::clicked, this, [this] { handleOnLink([this] { UpDown1Click(session_, true); }); });
  connect(UpDown1Down, &QToolButton::clicked, this, [this] { handleOnLink([this] { UpDown1Click(session_, false); }); });
  connect(Expand, &QPushButton::clicked, this, [this] { handleOnLink([this] { ExpandClick(session_); }); });
  connect(Compres, &QPushButton::clicked, this, [this] { handleOnLink([this] { CompresClick(session_); }); });
  connect(SnapPeak, &QPushButton::clicked, this, [this] { handleOnLink([this] { SnapPeakClick(session_); }); });
  // The thumb stands where the view stands in the memory (refresh() keeps
  // it there); an arrow hands the handler the position before the step.
  connect(ScrollBar1, &QScrollBar::actionTriggered, this, [this](int action) {
    int32_t position = ScrollBar1->value();
    handleOnLink([this, action, position]() mutable { ScrollBar1Scroll(session_, scrollCodeOf(action), position); });
  });
  PaintBox1->onMousePress = [this](Qt::MouseButton button, int x, int) {
    // The right button moves the cursor there and identifies the lines.
    const bool identify = button == Qt::RightButton;
    handleOnLink([this, button, identify, x] {
      PaintBox1MouseDown(session_, button == Qt::LeftButton || identify ? MouseButton::Left : MouseButton::Other, x);
    });
    if (identify) identifyAtCursor();
  };
}

void TForm1::mousePressEvent(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  const MouseButton button = event->button() == Qt::LeftButton ? MouseButton::Left : MouseButton::Other;
  handleOnLink([this, button, x] { PaintBox1MouseDown(session_, button, x); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit1 && event->type() == QEvent::MouseButtonPress) handleOnLink([this] { Edit1Click(session_); });
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::connectRoiPage() {
  for (const auto& [name, colour] : kColourChoices) addColour(ROIColor, name, colour);
  connect(ROINoSelect, &QComboBox::activated, this,
          [this](int index) { handleOnLink([=, this] { ROINoSelectChange(session_, index); }); });
  // Field edits go through the queue as well, so that while the analyser is
  // busy they still take effect in the order they were made.
  connect(ROIOnCheck, &QCheckBox::clicked, this, [this](bool on) {
    handleOnLink([this, on] {
      session_.RoiPage.On = on;
      ROIOnCheckClick(session_);
    });
  });
  connect(ROIColor, &QComboBox::activated, this, [this](int index) {
    const Colour24 colour = ROIColor->itemData(index).toUInt();
    whenIdle([this, colour] { session_.RoiPage.Colour = colour; });
  });
  connect(Element, &QLineEdit::textEdited, this, [this](const QString& text) {
    whenIdle([this, element = text.toLocal8Bit().toStdString()] { session_.RoiPage.Element = element; });
  });
  connect(EditROILow, &QLineEdit::textEdited, this, [this](const QString& text) {
    handle([=, this] { EditROILowChange(session_, text.toLocal8Bit().toStdString()); });
  });
  connect(EditROIHigh, &QLineEdit::textEdited, this, [this](const QString& text) {
    handle([=, this] { EditROIHighChange(session_, text.toLocal8Bit().toStdString()); });
  });
  connect(ROILowCh, &QCheckBox::clicked, this, [this] { handleOnLink([this] { ROILowChClick(session_); }); });
  connect(ROIHighCh, &QCheckBox::clicked, this, [this] { handleOnLink([this] { ROIHighChClick(session_); }); });
}

void TForm1::quantFit() {
  handle([this] {
    QuantClick(session_);
    if (!QuantWindow) {
      QuantWindow = new QuantDialog(session_.FitQuant, this);
      QuantWindow->requantify = [this] {
        handle([this] {
          QuantClick(session_);
          QuantWindow->showState();
        });
      };
    }
    QuantWindow->showState();
    QuantWindow->show();
    QuantWindow->raise();
  });
}

void TForm1::connectCalibrationPage() {
  connect(AddStd, &QPushButton::clicked, this, [this] { handle([this] { AddStdClick(session_); }); });
  connect(EditStd, &QPushButton::clicked, this, [this] { handle([this] { EditStdClick(session_, runEditor); }); });
  connect(LoadStd, &QPushButton::clicked, this,
          [this] { handle([this] { LoadStdClick(session_, chooseTablePath().toLocal8Bit().toStdString()); }); });
  connect(MLSQfit, &QPushButton::clicked, this, [this] {
    handle([this] {
      MLSQfitClick(
          session_, [this] { return chooseTablePath().toLocal8Bit().toStdString(); }, runEditor);
      // The whole quality line where it can be read in full; the check box
      // on the page has room for its head only.
      if (session_.DataModule.Fit.FitCount > 0)
        StatusBar1->showMessage(
            QString::fromStdString(fitQualityLine(session_.XfitQuality, session_.DataModule.Fit)));
      else
        StatusBar1->clearMessage();
    });
  });
  // The batch uses the standards loaded by "Load Std", and loads a table
  // first when none has been, as "MLSQ Fit" does.
  connect(BatchFit, &QPushButton::clicked, this, [this] {
    handle([this] {
      if (session_.StandardsLoaded != 1) LoadStdClick(session_, chooseTablePath().toLocal8Bit().toStdString());
      if (session_.StandardsLoaded == 1) runXfitBatch(session_.DataModule.Fit);
    });
  });
  connect(Quant, &QPushButton::clicked, this, [this] { quantFit(); });
  connect(XfitQuality, &QCheckBox::toggled, this, [this] { refresh(); });
  connect(PlotLpt, &QPushButton::clicked, this,
          [this] { handle([this] { session_.Texts.Edit1 = PrintReport(session_); }); });
  connect(PrintSpec, &QPushButton::clicked, this, [this] {
    handle([this] {
      SetHardCopyColours(session_, true);
      refresh();
      const QImage window = grab().toImage();
      session_.Texts.Edit1 = PrintWindowImage(session_, window);
      SetHardCopyColours(session_, false);
    });
  });
  connect(EngCalib, &QPushButton::clicked, this, [this] { handle([this] { EngCalibClick(session_); }); });
  connect(CalibUndo, &QPushButton::clicked, this, [this] { handle([this] { CalibUndoClick(session_); }); });
  connect(CalibLines, &QPushButton::clicked, this, [this] { whenIdle([this] { runCalibrationLines(); }); });
  runCalibrationLines = [this] {
    CalibrationLinesDialog::Actions actions;
    actions.calibrate = [this](const std::string& lines, bool quadratic) {
      handle([&, this] { CalibFromLinesClick(session_, lines, quadratic); });
    };
    actions.undo = [this] { handle([this] { CalibUndoClick(session_); }); };
    actions.setup = [this]() -> const LinesCalibrationSetup& { return session_.LinesCalibration; };
    actions.status = [this] { return session_.Texts.Edit1; };
    CalibrationLinesDialog dialog(std::move(actions), this);
    dialog.exec();
  };
  connect(FWHM, &QPushButton::clicked, this, [this] {
    handle([this] {
      FWHMClick(session_);
      NoteMeasuredFwhm(session_);
    });
  });
  connect(MnKaFit, &QPushButton::clicked, this, [this] {
    handle([this] {
      MnKaFitClick(session_);
      // The least-squares resolution beside the fit's own figure.
      if (session_.MnFit.OverlayShown == 1)
        StatusBar1->showMessage(QString::fromStdString(resolutionLine(session_)));
      else
        StatusBar1->clearMessage();
    });
  });
  connect(LengCh, &QCheckBox::clicked, this, [this] { handle([this] { LengChClick(session_); }); });
  connect(HengCh, &QCheckBox::clicked, this, [this] { handle([this] { HengChClick(session_); }); });
  connect(LowCh, &QLineEdit::textEdited, this,
          [this](const QString& text) { handle([=, this] { LowChChange(session_, text.toLocal8Bit().toStdString()); }); });
  connect(HiCh, &QLineEdit::textEdited, this,
          [this](const QString& text) { handle([=, this] { HiChChange(session_, text.toLocal8Bit().toStdString()); }); });
  const std::pair<QLineEdit*, std::string CalibrationPageFields::*> fields[] = {{LoEng, &CalibrationPageFields::LoEng},
                                                                                {HiEng, &CalibrationPageFields::HiEng},
                                                                                {ChKev, &CalibrationPageFields::ChKev}};
  for (const auto& [widget, field] : fields)
    connect(widget, &QLineEdit::textEdited, this, [this, field = field](const QString& text) {
      whenIdle([this, field, value = text.toLocal8Bit().toStdString()] { session_.CalibrationPage.*field = value; });
    });
}

void TForm1::buildPanel() {
  Panel1 = place(new QWidget(Client), "Panel1", 550, 134, 169, 97);
  auto* vfs = place(new QGroupBox("VFS", Panel1), "VfsGroup", 2, 0, 80, 95);
  UpDown1Up = place(new QToolButton(vfs), "UpDown1Up", 6, 18, 20, 22);
  UpDown1Up->setArrowType(Qt::UpArrow);
  UpDown1Down = place(new QToolButton(vfs), "UpDown1Down", 6, 40, 20, 22);
  UpDown1Down->setArrowType(Qt::DownArrow);
  AutoVfs = button(vfs, "AutoVfs", "Auto", 30, 18, 46);
  LogDisp = button(vfs, "LogDisp", "LOG", 30, 44, 46);
  auto* axis = place(new QGroupBox("X-Axis", Panel1), "XAxisGroup", 86, 0, 81, 95);
  Expand = button(axis, "Expand", "<< >>", 6, 16, 69);
  Compres = button(axis, "Compres", ">> <<", 6, 42, 69);
  SnapPeak = button(axis, "SnapPeak", "Snap Peak", 6, 68, 69);
}

void TForm1::buildMenus() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu("&File");
  file->setObjectName("File1");
  Read1 = file->addAction("&Read");
  Write2 = file->addAction("&AsciiWrite");
  Write1 = file->addAction("&Write");
  Import1 = file->addAction("&Import");
  Export1 = file->addAction("Ex&port");
  OpenMap1 = file->addAction("Open &Map...");
  file->addAction(QString());
  file->addSeparator();
  Exit1 = file->addAction("&Exit");
  QMenu* system = bar->addMenu("&System");
  system->setObjectName("Config1");
  DefaultVal1 = system->addAction("&DefaultParam.");
  Option1 = system->addAction("&Option");
  QMenu* connectMenu = bar->addMenu("&Connect");
  connectMenu->setObjectName("Connect1");
  Open1 = connectMenu->addAction("&OpenMca");
  Scan1 = connectMenu->addAction("&ScanMca");
  QMenu* help = bar->addMenu("&Help");
  help->setObjectName("Help1");
  About1 = help->addAction("&About");

  connect(Read1, &QAction::triggered, this, [this] { whenIdle([this] { Read1Click(); }); });
  connect(Write1, &QAction::triggered, this, [this] { whenIdle([this] { Write1Click(); }); });
  connect(Write2, &QAction::triggered, this, [this] { whenIdle([this] { Write2Click(); }); });
  connect(Import1, &QAction::triggered, this, [this] { whenIdle([this] { Import1Click(); }); });
  connect(Export1, &QAction::triggered, this, [this] { whenIdle([this] { Export1Click(); }); });
  connect(OpenMap1, &QAction::triggered, this, [this] { whenIdle([this] { OpenMap1Click(); }); });
  connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
  connect(About1, &QAction::triggered, this, [this] { whenIdle([this] { About1Click(); }); });
}

// The setup dialogs run here, on the window's thread; what they send to the
// analyser runs on the worker, as the run buttons do.
void TForm1::mcaSetUp() {
  McaSetupFields fields = OpenMcaSetup(session_);
  const bool ok = runSetupDialog(fields);
  if (ok)
    handleOnLink([this, fields] { ApplyMcaSetup(session_, fields, true); });
  else
    ApplyMcaSetup(session_, fields, false);  // stores the fields, sends nothing
}

void TForm1::scanSetUp() {
  ScanSetupFields fields = OpenScanSetup(session_);
  if (runScanSetupDialog(fields)) handleOnLink([this, fields] { ApplyScanSetup(session_, fields); });
}

void TForm1::whenIdle(std::function<void()> operation) {
  if (linkBusy_)
    waitingOperations_.push_back(std::move(operation));
  else
    operation();
}

void TForm1::handle(std::function<void()> operation) {
  whenIdle([this, operation = std::move(operation)] {
    operation();
    refresh();
  });
}

void TForm1::handleOnLink(std::function<void()> operation, bool stops) {
  if (linkBusy_) {
    // Stop must not wait for a read on a silent analyser to time out.
    if (stops) session_.Transport.cancelWaiting();
    waitingOperations_.push_back(
        [this, operation = std::move(operation), stops] { handleOnLink(operation, stops); });
    return;
  }
  linkBusy_ = true;
  // The renderer belongs to the window's thread: the operation's paints are
  // kept and drawn here once it has finished.
  PlotPainter* painter = session_.Painter;
  session_.Painter = &recordedPaints_;
  if (closeWhenIdle_) session_.Transport.cancelWaiting();  // leaving: do not sit out a silent analyser
  runOffThread(operation, [this] { session_.Transport.cancelWaiting(); });
  session_.Painter = painter;
  session_.Transport.resumeWaiting();
  linkBusy_ = false;
  recordedPaints_.replayOn(painter);
  // What the user did meanwhile runs now, in order, before the widgets show
  // the Session (a refresh first would put back the text being typed).
  runWaitingOperations();
  refresh();
}

void TForm1::runWaitingOperations() {
  while (!waitingOperations_.empty() && !linkBusy_) {
    const std::function<void()> next = std::move(waitingOperations_.front());
    waitingOperations_.pop_front();
    next();
  }
  // Exit asked for while the analyser was busy: what was asked before it
  // (a Stop, say) has run.
  if (closeWhenIdle_ && !linkBusy_ && waitingOperations_.empty()) Exit1Click();
}

void TForm1::onTimer1() {
  // The polling tick is skipped, not queued, while the last one still runs.
  // Behind another exchange (a click that moves the analyser's cursor, a
  // view button) it waits and runs as soon as that one has returned, once:
  // the user's controls must not cost the polling its tick.
  if (tickRunning_ || tickWaiting_) return;
  // A tick that fired during a Stop or Abort, or waited behind it, finds the
  // run over: it must not poll, nor turn the polling back on.
  if (!session_.Timer1.Enabled) return;
  // Nor does a tick that waited behind an exchange the window is closing on.
  if (closeWhenIdle_) return;
  if (linkBusy_) {
    tickWaiting_ = true;
    waitingOperations_.push_back([this] {
      tickWaiting_ = false;
      onTimer1();
    });
    return;
  }
  if (beforeTick) beforeTick();
  tickRunning_ = true;
  handleOnLink([this] {
    Timer1Timer(session_);
    tickRunning_ = false;
  });
}

bool TForm1::mayClose() {
  if (exitConfirmed_ || !runShown_) return true;
  switch (askExitDuringRun()) {
    case RunExitChoice::ExitWithoutSaving:
      exitConfirmed_ = true;
      return true;
    case RunExitChoice::StopAndKeep: {
      // The window stays open with the run's spectrum, for the user to write.
      const bool scanning = session_.Acquisition.Mode == 0;
      handleOnLink(
          [this, scanning] {
            if (scanning)
              ZorvStopClick(session_);
            else
              McaStopClick(session_);
            if (session_.Acquisition.Running == 0 && !session_.Acquisition.StopUnconfirmed)
              session_.Texts.Edit1 = kRunStoppedKeptText;
          },
          true);
      return false;
    }
    case RunExitChoice::Cancel:
      break;
  }
  return false;
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!mayClose()) {
    event->ignore();
    return;
  }
  if (linkBusy_) {
    // Closed while a read waits: end the read, close once it has returned.
    session_.Transport.cancelWaiting();
    closeWhenIdle_ = true;
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void TForm1::Read1Click() {
  const QString path = chooseReadPath();
  if (path.isEmpty()) return;
  // Each file command shows its outcome in the status field itself.
  handle([=, this] { (void)ReadSpectrumFile(session_, path.toLocal8Bit().toStdString()); });
}

void TForm1::Write1Click() {
  const QString path = chooseWritePath();
  if (path.isEmpty()) return;
  handle([=, this] { (void)WriteSpectrumFile(session_, path.toLocal8Bit().toStdString()); });  // shown in Edit1
}

void TForm1::Write2Click() {
  const QString path = chooseDumpPath();
  if (path.isEmpty()) return;
  handle([=, this] { (void)WriteAsciiDump(session_, path.toLocal8Bit().toStdString()); });  // shown in Edit1
}

void TForm1::Import1Click() {
  const QString path = chooseImportPath();
  if (path.isEmpty()) return;
  handle([=, this] { (void)ImportSpectrumFile(session_, path.toLocal8Bit().toStdString()); });  // shown in Edit1
}

void TForm1::Export1Click() {
  const auto choice = chooseExportPath();
  if (!choice || choice->path.isEmpty()) return;
  handle([=, this] {
    (void)ExportSpectrumFile(session_, choice->path.toLocal8Bit().toStdString(), choice->format);  // shown in Edit1
  });
}

MapViewWindow* TForm1::mapView() {
  if (!MapView) MapView = new MapViewWindow(this);
  return MapView;
}

// The file's own ROI maps; a file that cannot be read or names no ROI
// says so in Edit1 and shows nothing.
void TForm1::OpenMap1Click() {
  const QString path = chooseMapPath();
  if (path.isEmpty()) return;
  handle([=, this] {
    const std::string file = path.toLocal8Bit().toStdString();
    std::string error;
    auto reader = MapFileReader::open(file, error);
    if (!reader) {
      session_.Texts.Edit1 = "Cannot open map: " + error;
      return;
    }
    const MapFileSetup& setup = reader->setup();
    if (setup.rois.empty()) {
      session_.Texts.Edit1 = "No ROI maps in " + fileNameOf(file);
      return;
    }
    RoiMaps maps(setup.width, setup.height, setup.rois,
                 setup.skipBlank ? std::optional<MapRoi>(setup.blankReference) : std::nullopt);
    if (!addMapFilePixels(*reader, maps, error)) {
      session_.Texts.Edit1 = "Cannot read map: " + error;
      return;
    }
    mapView()->showMaps(maps, QString::fromLocal8Bit(fileNameOf(file).c_str()));
    MapView->show();
  });
}

void TForm1::refreshMapView() {
  const MapRun& run = session_.Mapping;
  if (!run.Active || run.NextPass == mapPassShown_) return;
  mapPassShown_ = run.NextPass;
  mapView()->showMaps(run.Maps, "Element Maps");
  MapView->show();
}

void TForm1::Exit1Click() {
  if (!mayClose()) return;
  if (linkBusy_) {
    session_.Transport.cancelWaiting();
    closeWhenIdle_ = true;
    return;
  }
  closeWhenIdle_ = false;
  // A running acquisition is left to the analyser: no stop is sent.
  renderer_.releaseImages();
  close();
}

void TForm1::About1Click() {
  if (about_) about_->exec();
}

void TForm1::refresh() {
  if (linkBusy_) return;  // the worker owns the Session until it finishes
  runShown_ = session_.Acquisition.Running == 1 || session_.Acquisition.StopUnconfirmed;
  const WindowTexts& t = session_.Texts;
  const StatusText status = shortenStatusText(t.Edit1);
  Edit1->setText(fromText(status.shown));
  // A long message shows from its start (setText leaves it scrolled to its
  // end); the whole message is in the tool tip when it does not fit.
  Edit1->setCursorPosition(0);
  const bool fits = Edit1->fontMetrics().horizontalAdvance(Edit1->text()) + 8 <= Edit1->width();
  Edit1->setToolTip(fromText(!status.toolTip.empty() ? status.toolTip : fits ? std::string() : t.Edit1));
  Edit2->setText(fromText(t.Edit2));
  Edit4->setText(fromText(t.Edit4));
  refreshLinesPage();
  refreshBackgroundPage();
  const std::pair<QLabel*, const std::string*> labels[] = {
      {Label1, &t.Label1}, {Label2, &t.Label2}, {Label3, &t.Label3},  {Label7, &t.Label7},
      {Label8, &t.Label8}, {Label9, &t.Label9}, {FwhmVal, &t.FwhmVal}};
  for (const auto& [widget, text] : labels) {
    widget->setText(fromText(*text));
    widget->adjustSize();
  }
  PrecisionReadout->setText(QString::fromStdString(session_.Precision.Readout));
  const std::string quality =
      session_.XfitQuality.valid ? fitQualityLine(session_.XfitQuality, session_.DataModule.Fit) : std::string();
  XfitQuality->setText(QString::fromStdString(quality.substr(0, quality.find(','))));
  XfitQuality->setToolTip(QString::fromStdString(quality + "\nCheck to draw the fit's residual over the plot"));
  PaintBox1->setResidual(XfitQuality->isChecked() ? residualCurve(session_) : std::vector<std::vector<CurvePoint>>{});
  for (QPushButton* run : {McaStart, McaStop, McaClear, ZorvStart, ZorvStop, ZorvClear})
    run->setEnabled(session_.RunButtonsEnabled);
  refreshScrollBar();
  refreshPages();
  // QTimer restarts a running timer on setInterval: setting it on every
  // refresh would push the next tick away with each key, click or scroll,
  // and a user who types would stall the polling.
  if (Timer1->interval() != session_.Timer1.IntervalMs) Timer1->setInterval(session_.Timer1.IntervalMs);
  refreshMapView();
  if (session_.Timer1.Enabled != Timer1->isActive()) {
    if (session_.Timer1.Enabled)
      Timer1->start();
    else
      Timer1->stop();
  }
}

void TForm1::refreshScrollBar() {
  const DisplayState& d = session_.Display;
  const int shown = std::max(d.LastShown - d.FirstShown + 1, 1);
  const int maximum = std::max(session_.Acquisition.ChannelCount - shown, 0);
  const QSignalBlocker blocker(ScrollBar1);
  ScrollBar1->setRange(0, maximum);
  ScrollBar1->setPageStep(shown);
  ScrollBar1->setValue(std::clamp(d.FirstShown, 0, maximum));
}

void TForm1::refreshPages() {
  // Programmatic changes must not run the handlers of user edits.
  const RoiPageFields& roi = session_.RoiPage;
  {
    const QSignalBlocker blockers[] = {QSignalBlocker(ROINoSelect), QSignalBlocker(ROIOnCheck),
                                       QSignalBlocker(ROIColor), QSignalBlocker(ROILowCh), QSignalBlocker(ROIHighCh)};
    // The list shows the selection the page holds, none included.
    const bool listed = roi.Selected >= 0 && roi.Selected < ROINoSelect->count();
    ROINoSelect->setCurrentIndex(listed ? roi.Selected : -1);
    ROIOnCheck->setChecked(roi.On);
    selectColour(ROIColor, roi.Colour);
    ROILowCh->setChecked(false);  // momentary boxes
    ROIHighCh->setChecked(false);
  }
  const std::pair<QLineEdit*, const std::string*> edits[] = {{Element, &roi.Element},
                                                             {EditROILow, &roi.Low},
                                                             {EditROIHigh, &roi.High},
                                                             {LowCh, &session_.CalibrationPage.LowCh},
                                                             {HiCh, &session_.CalibrationPage.HiCh},
                                                             {LoEng, &session_.CalibrationPage.LoEng},
                                                             {HiEng, &session_.CalibrationPage.HiEng},
                                                             {ChKev, &session_.CalibrationPage.ChKev}};
  for (const auto& [widget, text] : edits) {
    const QString shown = fromText(*text);
    if (widget->text() != shown) widget->setText(shown);  // keeps the caret while typing
  }
  LengCh->setChecked(false);
  HengCh->setChecked(false);
}

}  // namespace tolvane
