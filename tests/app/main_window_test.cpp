// The real window on the offscreen platform, driven through its widgets.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "display/plot_renderer.h"
#include "display/plot_widget.h"
#include "files/spectrum_file.h"
#include "handlers/file_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct WindowRig {
  explicit WindowRig(int analysers = 1) {
    for (int i = 0; i < analysers; ++i) bridge.attach();
    window = std::make_unique<TForm1>(bridge, clock);
  }
  SimulatedAnalyser& analyser() { return bridge.analyser(0); }
  void tick() {
    clock.advanceMillis(window->Timer1->interval());
    window->onTimer1();
  }
  std::vector<QPushButton*> runButtons() const {
    return {window->McaStart,  window->McaStop,  window->McaClear,
            window->ZorvStart, window->ZorvStop, window->ZorvClear};
  }
  ManualClock clock;
  SimFtdi bridge{clock};
  std::unique_ptr<TForm1> window;
};

TEST(MainWindow, StartsWithTheRampInLogScaleAndTheRunButtonsDisabled) {
  WindowRig r;
  TForm1& w = *r.window;
  EXPECT_EQ(w.windowTitle(), "Tolvane Dorvel Controll Program");
  EXPECT_EQ(w.Client->size(), QSize(729, 402));
  EXPECT_EQ(w.ZARV->currentWidget(), w.VEXA);
  EXPECT_EQ(w.PageControl1->tabText(w.PageControl1->currentIndex()), "Calic. Plot");
  for (QPushButton* b : r.runButtons()) EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_TRUE(w.session().Display.LogScale);
  EXPECT_EQ(w.session().Working.Counts[1234], 1234);
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_EQ(w.Edit1->text(), "Status");
  EXPECT_EQ(w.Edit2->text(), "Dev#");
  // The labels show the view the plot shows, not the design texts.
  EXPECT_EQ(w.Label1->text(), "0ch");
  EXPECT_EQ(w.Label2->text(), "4095ch");
  EXPECT_EQ(w.Label3->text(), "2048");
  EXPECT_EQ(w.Label7->text(), "2048");  // the ramp's count at the cursor
  // The log frame is on screen: a decade grid row in maroon.
  EXPECT_EQ(w.renderer().paintBox().pixel(16 + 100, 5 + 259), qRgb(128, 0, 0));
}

TEST(MainWindow, OpenMcaShowsTheCountAndEnablesTheSixRunButtonsOnce) {
  WindowRig r;
  TForm1& w = *r.window;
  w.McaOpen->click();
  EXPECT_EQ(w.Edit2->text(), "1");
  for (QPushButton* b : r.runButtons()) EXPECT_TRUE(b->isEnabled());
  w.Edit2->setText("unchanged");
  w.McaOpen->click();
  EXPECT_EQ(w.Edit2->text(), "1");  // the refresh shows the same count; nothing else changes
  for (QPushButton* b : r.runButtons()) EXPECT_TRUE(b->isEnabled());
}

TEST(MainWindow, OpenMcaWithoutAnAnalyserShowsErrorAndSaysWhatToCheck) {
  WindowRig r(0);
  r.window->McaOpen->click();
  EXPECT_EQ(r.window->Edit2->text(), "Error");
  EXPECT_EQ(r.window->Edit1->text(), "No analyser found: check USB cable and power");
  EXPECT_FALSE(r.window->McaStart->isEnabled());
}

TEST(MainWindow, AnAcquisitionGrowsOnScreenAndThePresetStopsTheTimer) {
  WindowRig r;
  TForm1& w = *r.window;
  w.McaOpen->click();
  w.session().Mca.PresetTime = 10;  // 1.0 s
  ASSERT_EQ(w.session().Transport.sendCommand("$P10;"), CommandResult::Accepted);
  w.McaStart->click();
  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_EQ(w.Timer1->interval(), 100);
  const QImage before = w.renderer().paintBox();
  for (int i = 0; i < 5; ++i) r.tick();
  EXPECT_EQ(w.Label1->text(), "0ch");
  EXPECT_EQ(w.Label2->text(), "4095ch");
  EXPECT_EQ(w.Label3->text(), "2048");
  EXPECT_NE(w.renderer().paintBox(), before);
  EXPECT_TRUE(w.Timer1->isActive());
  for (int i = 0; i < 6; ++i) r.tick();
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_EQ(w.session().Acquisition.RealTime, 10);
  EXPECT_EQ(r.analyser().frameLog().back(), "$S;");
  // Lime trace pixels are on screen.
  int lime = 0;
  const QImage& box = w.renderer().paintBox();
  for (int y = 5; y < 317; ++y)
    for (int x = 16; x < 528; ++x) lime += box.pixel(x, y) == qRgb(0, 255, 0);
  EXPECT_GT(lime, 200);
}

TEST(MainWindow, ExitWithoutSavingDuringARunSendsNoStop) {
  WindowRig r;
  TForm1& w = *r.window;
  w.show();
  w.McaOpen->click();
  w.McaStart->click();
  r.tick();
  r.analyser().clearFrameLog();
  w.askExitDuringRun = [] { return TForm1::RunExitChoice::ExitWithoutSaving; };
  w.Exit1->trigger();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(r.analyser().frameLog().empty());
  EXPECT_TRUE(r.analyser().running());
  EXPECT_TRUE(w.renderer().PlotImage.isNull());  // the pictures are released
  w.onTimer1();                                  // a tick queued before the close must not touch released pictures
}

// Exit or closing the window while a run counts asks first; keeping the
// spectrum stops the run, reads its last counts and leaves the window open.
TEST(MainWindow, ExitDuringARunAsksFirst) {
  for (const bool byClose : {false, true}) {
    WindowRig r;
    TForm1& w = *r.window;
    w.show();
    int asked = 0;
    TForm1::RunExitChoice answer = TForm1::RunExitChoice::Cancel;
    w.askExitDuringRun = [&] {
      ++asked;
      return answer;
    };
    const auto leave = [&] {
      if (byClose)
        w.close();
      else
        w.Exit1->trigger();
    };
    w.McaOpen->click();
    w.McaStart->click();
    r.tick();
    r.analyser().clearFrameLog();
    leave();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(w.isVisible());  // cancelled
    EXPECT_TRUE(r.analyser().frameLog().empty());
    EXPECT_TRUE(w.Timer1->isActive());

    answer = TForm1::RunExitChoice::StopAndKeep;
    r.clock.advanceMillis(300);
    leave();
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(w.isVisible());
    const std::vector<std::string> frames = r.analyser().frameLog();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames.front(), "$S;");
    EXPECT_EQ(frames[1], "$R1;");  // the counts since the last tick
    EXPECT_FALSE(r.analyser().running());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.session().Acquisition.RealTime, 4);
    EXPECT_EQ(w.Edit1->text(), "Run stopped: spectrum kept");

    leave();  // stopped: leaves without asking
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(w.isVisible());
  }
}

// The scan is stopped with Abort's frame when its spectrum is kept.
TEST(MainWindow, ExitDuringAScanAsksAndKeepingItAborts) {
  WindowRig r;
  TForm1& w = *r.window;
  w.show();
  w.McaOpen->click();
  w.ZorvStart->click();
  r.tick();
  r.analyser().clearFrameLog();
  w.askExitDuringRun = [] { return TForm1::RunExitChoice::StopAndKeep; };
  w.Exit1->trigger();
  EXPECT_EQ(r.analyser().frameLog(), std::vector<std::string>{"$S;"});
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.session().Acquisition.Running, 0);
}

// After File > Read the DT % and kcts readouts are the file's own (from
// its times and counts), or nothing where the file has no real time; a
// new run shows the analyser's figures again.
TEST(MainWindow, AfterAReadTheDeadTimeAndCountReadoutsAreTheFilesOwn) {
  WindowRig r;
  TForm1& w = *r.window;
  testing::TempDir dir;
  w.McaOpen->click();
  w.McaStart->click();
  for (int i = 0; i < 5; ++i) r.tick();
  w.McaStop->click();
  ASSERT_GT(w.session().Acquisition.DeadTimePerMille, 0);
  {
    testing::SimRig writer(0);
    Session& f = *writer.session;
    testing::fillSpectrum(f, 1024, [](int) { return 40; });
    f.Acquisition.PresetTime = f.Acquisition.RealTime = 1000;
    f.Acquisition.LiveTime = 952;
    ASSERT_TRUE(WriteSpectrumFile(f, dir.path("own.dat")));
    f.Acquisition.RealTime = f.Acquisition.LiveTime = 0;
    ASSERT_TRUE(WriteSpectrumFile(f, dir.path("untimed.dat")));
  }
  const auto readout = [&w](int x, int y) {
    for (const PlotText& t : w.session().Plot.Readouts)
      if (t.x == x && t.y == y) return t.text;
    return std::string("missing");
  };
  w.chooseReadPath = [&] { return QString::fromStdString(dir.path("own.dat")); };
  w.Read1->trigger();
  EXPECT_EQ(readout(275, 5), "     4.8");
  EXPECT_EQ(readout(375, 18), "   40.96");
  w.chooseReadPath = [&] { return QString::fromStdString(dir.path("untimed.dat")); };
  w.Read1->trigger();
  EXPECT_EQ(readout(275, 5), "");
  EXPECT_EQ(readout(375, 18), "   40.96");

  w.McaStart->click();
  r.tick();
  r.tick();
  char runDeadTime[16];
  std::snprintf(runDeadTime, sizeof runDeadTime, "%8.1f", w.session().Acquisition.DeadTimePerMille * 0.1);
  EXPECT_GT(w.session().Acquisition.DeadTimePerMille, 0);
  EXPECT_EQ(readout(275, 5), runDeadTime);  // the analyser's figure again
}

TEST(MainWindow, FileReadAndWriteGoThroughTheMenuWithTheChosenPath) {
  WindowRig r;
  TForm1& w = *r.window;
  testing::TempDir dir;
  const QString path = QString::fromStdString(dir.path("menu.dat"));
  w.chooseWritePath = [&] { return path; };
  w.Write1->trigger();
  EXPECT_EQ(testing::readFileBytes(path.toStdString()).size(), 1024u + 4 * 4096);
  EXPECT_EQ(w.session().Working.Name, "menu.dat");

  w.session().Working.Counts[7] = 999;
  w.session().Display.LogScale = false;
  w.chooseReadPath = [&] { return path; };
  w.Read1->trigger();
  EXPECT_EQ(w.session().Working.Counts[7], 7);
  EXPECT_TRUE(w.session().Display.LogScale);
  EXPECT_EQ(w.Label2->text(), "4095ch");

  // A cancelled dialog changes nothing.
  w.chooseReadPath = [] { return QString(); };
  w.session().Working.Counts[7] = 5;
  w.Read1->trigger();
  EXPECT_EQ(w.session().Working.Counts[7], 5);

  // A write that fails says so in the status field.
  w.chooseWritePath = [&] { return QString::fromStdString(dir.path("no/such/folder.dat")); };
  w.Write1->trigger();
  EXPECT_EQ(w.Edit1->text(), "File Write Error !");
}

TEST(MainWindow, TheInertMenuItemsDoNothing) {
  WindowRig r;
  TForm1& w = *r.window;
  for (QAction* a : {w.Open1, w.Scan1, w.DefaultVal1, w.Option1}) a->trigger();
  EXPECT_EQ(w.Edit2->text(), "Dev#");
  EXPECT_TRUE(r.analyser().frameLog().empty());
}

}  // namespace
}  // namespace tolvane

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

namespace tolvane {
namespace {

TEST(MainWindowControls, ViewButtonsDriveTheViewAndTheLabels) {
  WindowRig r;
  TForm1& w = *r.window;
  w.Expand->click();
  EXPECT_EQ(w.Label1->text(), "1024ch");
  EXPECT_EQ(w.Label2->text(), "3071ch");
  w.Compres->click();
  EXPECT_EQ(w.Label1->text(), "0ch");
  w.UpDown1Up->click();
  EXPECT_FALSE(w.session().Display.LogScale);
  EXPECT_EQ(w.session().Display.FullScaleIndex, 1);
  w.LogDisp->click();
  EXPECT_TRUE(w.session().Display.LogScale);
  w.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(w.Label1->text(), "0ch");  // the whole memory cannot move
  EXPECT_EQ(w.Edit1->text(), "10");
}

TEST(MainWindowControls, AClickOnThePlotMovesTheCursor) {
  for (const bool open : {false, true}) {
    WindowRig r;
    TForm1& w = *r.window;
    // Right after start-up (and OpenMCA, whose mouse reads the kept view)
    // the click lands on the channel under the pointer: 8 channels a column.
    if (open) w.McaOpen->click();
    QTest::mouseClick(w.PaintBox1, Qt::LeftButton, {}, QPoint(16 + 64, 100));
    EXPECT_EQ(w.Label3->text(), "512") << open;
    EXPECT_EQ(w.session().Display.Cursor, 512) << open;
  }
}

TEST(MainWindowControls, TheRoiPageSwitchesAnEntryOnAndSendsItsWindow) {
  WindowRig r;
  TForm1& w = *r.window;
  w.McaOpen->click();
  r.analyser().clearFrameLog();
  emit w.ROINoSelect->activated(2);
  EXPECT_EQ(w.EditROILow->text(), "0");
  w.EditROILow->setText("50");
  emit w.EditROILow->textEdited("50");
  w.EditROIHigh->setText("1234");
  emit w.EditROIHigh->textEdited("1234");
  w.ROIOnCheck->click();
  EXPECT_EQ(r.analyser().frameLog(), std::vector<std::string>{"$@R2,0050,1234;"});
  EXPECT_EQ(w.session().Rois.Entries[2].Shown, 1);
  emit w.EditROIHigh->textEdited("12x");
  EXPECT_EQ(w.Edit1->text(), "Error ! ROI HighCh");
  w.session().Display.Cursor = 321;
  w.ROILowCh->click();
  EXPECT_EQ(w.EditROILow->text(), "321");
  EXPECT_FALSE(w.ROILowCh->isChecked());
}

TEST(MainWindowControls, SetUpRunsTheDialogAndScaButtonsSendTheirModes) {
  WindowRig r;
  TForm1& w = *r.window;
  w.McaOpen->click();
  r.analyser().clearFrameLog();
  w.runSetupDialog = [](McaSetupFields& f) {
    f.PresetRT = "2.5";
    f.ChannelCount = 1024;
    return true;
  };
  w.Button10->click();
  w.SCAFAST->click();
  EXPECT_EQ(r.analyser().frameLog(), (std::vector<std::string>{"$P25;", "$M8;", "$DS;"}));
  EXPECT_EQ(w.session().Acquisition.ChannelCount, 1024);
}

TEST(MainWindowControls, CalibrationPickUpFillsTheLowChannelEdit) {
  WindowRig r;
  TForm1& w = *r.window;
  w.session().Display.Cursor = 1500;
  w.LengCh->click();
  EXPECT_EQ(w.LowCh->text(), "1500");
  EXPECT_FALSE(w.LengCh->isChecked());
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(MainWindowAnalysis, CalibrationFwhmMnFitAndTheTextDumpFromTheWindow) {
  WindowRig r;
  TForm1& w = *r.window;
  for (auto [edit, text] : {std::pair{w.LowCh, "128"}, {w.HiCh, "896"}, {w.LoEng, "1.0"}, {w.HiEng, "7.0"}}) {
    edit->setText(text);
    emit edit->textEdited(text);
  }
  w.EngCalib->click();
  EXPECT_EQ(w.session().Calibration.Gain, 0.0078125f);
  emit w.LowCh->textEdited("12q");
  EXPECT_EQ(w.Edit1->text(), "Error ! EngCalib LowCh");

  auto& counts = w.session().Working.Counts;
  std::fill(counts.begin(), counts.end(), 0);
  counts[99] = 10;
  counts[100] = 20;
  counts[101] = 10;
  w.session().Display.Cursor = 100;
  w.FWHM->click();
  EXPECT_EQ(w.Edit1->text(), "Peak   100.00 Ch.");
  EXPECT_EQ(w.FwhmVal->text(), "    1.00 ch");
  w.MnKaFit->click();
  EXPECT_EQ(w.session().MnFit.OverlayShown, 1);
  EXPECT_EQ(w.Edit1->text(), "  100.00 Ch.");
  w.MnKaFit->click();
  EXPECT_EQ(w.session().MnFit.OverlayShown, 0);

  testing::TempDir dir;
  w.chooseDumpPath = [&] { return QString::fromStdString(dir.path("out.txt")); };
  w.Write2->trigger();
  EXPECT_EQ(w.session().Working.Name, "out.txt");
  EXPECT_GT(testing::readFileBytes(dir.path("out.txt")).size(), 4096u * 14);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(MainWindowScan, ZorvPageRunsAScanAndTheMemoryButtonsSwitchSlots) {
  WindowRig r;
  TForm1& w = *r.window;
  w.McaOpen->click();
  w.runScanSetupDialog = [](ScanSetupFields& f) {
    f.ZORVPreSetTime = "5";
    f.DispRefTimer = "100";
    return true;
  };
  w.Button7->click();
  w.ZorvStart->click();
  EXPECT_TRUE(w.Timer1->isActive());
  for (int i = 0; i < 11; ++i) r.tick();
  EXPECT_EQ(w.Edit4->text(), "2");
  EXPECT_EQ(w.Label7->text(), " ");
  w.ZorvStop->click();
  EXPECT_FALSE(w.Timer1->isActive());
  w.ZorvClear->click();
  EXPECT_EQ(w.Edit4->text(), "0");

  w.Mem2Spec->click();
  EXPECT_EQ(w.session().SelectedMemory, 2);
  w.OverLapON->click();
  EXPECT_TRUE(w.session().Display.Mem2Shown);
  w.McaMem->click();
  EXPECT_EQ(w.session().Working.Name, "MCA");
}

// Export and Import act on the spectrum shown: here memory 2.
TEST(MainWindow, ExportAndImportActOnTheSelectedMemory) {
  WindowRig r;
  TForm1& w = *r.window;
  testing::TempDir dir;
  SpectrumRecord& mem2 = w.session().Memories[1];
  mem2.Header.setChannelCount(512);
  mem2.Header.setCalibrationMarker(1.0f);
  for (int c = 0; c < 512; ++c) mem2.Counts[static_cast<size_t>(c)] = 3 * c;
  mem2.setName("mem2.dat");
  w.Mem2Spec->click();

  const QString csv = QString::fromStdString(dir.path("shown.csv"));
  w.chooseExportPath = [&] { return TForm1::ExportChoice{csv, ExportFormat::Csv}; };
  w.Export1->trigger();
  const auto bytes = testing::readFileBytes(csv.toStdString());
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("\r\n511,,1533\r\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 513);

  const std::string msa = dir.path("in.msa");
  testing::writeFileBytes(msa, std::vector<uint8_t>(std::begin("#NPOINTS : 3\n#SPECTRUM :\n5, 6, 7.5\n"),
                                                    std::end("#NPOINTS : 3\n#SPECTRUM :\n5, 6, 7.5\n") - 1));
  w.chooseImportPath = [&] { return QString::fromStdString(msa); };
  w.Import1->trigger();
  EXPECT_EQ(w.Edit1->text(), "Counts rounded; Padded 3 -> 512 ch");
  EXPECT_EQ(w.session().Working.Counts[2], 8);
  EXPECT_EQ(mem2.Counts[2], 8);
  EXPECT_EQ(mem2.Name, "in.msa");

  // A refused file leaves the spectrum shown as it was and names the line.
  testing::writeFileBytes(msa, {'#', 'S', 'P', 'E', 'C', 'T', 'R', 'U', 'M', '\n', '1', ' ', 'x', '\n'});
  w.Import1->trigger();
  EXPECT_EQ(w.Edit1->text(), "MSA line 2: text in data");
  EXPECT_EQ(w.session().Working.Counts[2], 8);
  EXPECT_EQ(w.session().Working.Name, "in.msa");

  // Cancelled dialogs do nothing.
  w.chooseImportPath = [] { return QString(); };
  w.chooseExportPath = [] { return std::nullopt; };
  w.Import1->trigger();
  w.Export1->trigger();
  EXPECT_EQ(w.Edit1->text(), "MSA line 2: text in data");
}

}  // namespace
}  // namespace tolvane

#include <QLineEdit>

namespace tolvane {
namespace {

// Malformed text in every edit and every button pressed, with the analyser
// closed, open, acquiring and scanning: the window answers with its
// messages and keeps running.
TEST(MainWindowBadInput, EveryEditAndButtonInEveryState) {
  WindowRig r;
  TForm1& w = *r.window;
  testing::TempDir dir;
  w.session().LastPath = dir.path("last.dat");  // reports and hard copies go here
  w.chooseReadPath = w.chooseWritePath = w.chooseDumpPath = w.chooseTablePath = [] { return QString(); };
  w.runEditor = [] { return false; };
  w.chooseExportPath = [] { return std::optional<TForm1::ExportChoice>(); };
  w.chooseImportPath = [] { return QString(); };
  w.runXfitBatch = [](const XfitWorkspace&) {};
  w.runPeakList = [](const SpectrumLinesResult&) { return false; };
  w.runCalibrationLines = [] {};
  w.runSetupDialog = [](McaSetupFields& f) {
    f.PresetRT = "1e999";
    f.DeadTime = "-";
    f.SpcLabel1 = std::string(300, 'x');
    return true;
  };
  w.runScanSetupDialog = [](ScanSetupFields& f) {
    f.ZORVPreSetTime = "ten";
    f.DispRefTimer = "0";
    return true;
  };
  const QStringList garbage = {"", "-", "1e999", "12,5", "0x1F", " 7 ", QString(300, '9'), "\xC3\xA9"};
  const auto typeEverywhere = [&] {
    for (QLineEdit* edit : w.findChildren<QLineEdit*>()) {
      if (!edit->isVisibleTo(&w) && edit->parentWidget() == nullptr) continue;
      for (const QString& text : garbage) {
        edit->clear();
        if (text.toLatin1() == text.toUtf8()) {
          QTest::keyClicks(edit, text);  // typed key by key
        } else {
          edit->setText(text);  // not typeable here: as pasted
          emit edit->textEdited(text);
        }
      }
    }
  };
  const auto pressEverything = [&] {
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>()) {
      // Qt's own buttons (tab scrolling, the menu bar's overflow menu) are not ours.
      if (b->objectName().isEmpty() || b->objectName().startsWith("qt_")) continue;
      b->click();
      r.tick();
    }
  };
  typeEverywhere();
  EXPECT_FALSE(w.Edit1->text().isEmpty());
  emit w.EditROILow->textEdited("x");
  EXPECT_EQ(w.Edit1->text(), "Error ! ROI LowCh");
  emit w.LowCh->textEdited("12k");
  EXPECT_EQ(w.Edit1->text(), "Error ! EngCalib LowCh");

  pressEverything();  // closed, and the presses open the analyser on the way
  w.McaOpen->click();
  pressEverything();  // open
  w.McaStart->click();
  typeEverywhere();
  pressEverything();  // acquiring
  w.ZorvStart->click();
  pressEverything();  // scanning
  EXPECT_TRUE(w.session().Scan.RefreshInterval > 0);
  EXPECT_TRUE(std::isfinite(w.session().Mca.DeadTimePerEvent));
  EXPECT_EQ(std::strlen(w.session().Mca.Comment.data()), 31u);  // cut to its field
}

}  // namespace
}  // namespace tolvane
