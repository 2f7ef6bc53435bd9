// What the window shows after the user acts: the scroll bar's thumb, the
// ROI list's selection, the status field with a path, and the cursor a
// click puts on the plot.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "app/main_window.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "display/plot_widget.h"
#include "handlers/file_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct Rig {
  Rig() {
    bridge.attach();
    window = std::make_unique<TForm1>(bridge, clock);
  }
  ManualClock clock;
  SimFtdi bridge{clock};
  std::unique_ptr<TForm1> window;
};

TEST(WindowScrollBar, TheThumbMovesWithTheView) {
  Rig r;
  TForm1& w = *r.window;
  for (int i = 0; i < 3; ++i) w.Expand->click();  // 1792 .. 2303
  const int start = w.ScrollBar1->value();
  w.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(w.session().Display.FirstShown, 1802);
  const int afterRight = w.ScrollBar1->value();
  EXPECT_GT(afterRight, start);
  w.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepSub);
  w.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(w.session().Display.FirstShown, 1782);
  EXPECT_LT(w.ScrollBar1->value(), start);
  // The thumb's place is the view's place in the memory.
  EXPECT_EQ(w.ScrollBar1->value(), 1782);
  EXPECT_EQ(w.ScrollBar1->maximum(), 4096 - 512);
  EXPECT_EQ(w.Edit1->text(), "1782");
  // A press on the arrow itself, as the user does it.
  w.show();
  const QPoint rightArrow(w.ScrollBar1->width() - 4, w.ScrollBar1->height() / 2);
  QTest::mouseClick(w.ScrollBar1, Qt::LeftButton, {}, rightArrow);
  EXPECT_EQ(w.session().Display.FirstShown, 1792);
  EXPECT_EQ(w.ScrollBar1->value(), 1792);
}

TEST(WindowPlotClick, AClickLandsOnTheChannelUnderThePointerWithTheAnalyserIdle) {
  Rig r;
  TForm1& w = *r.window;
  w.McaOpen->click();
  for (int i = 0; i < 3; ++i) w.Expand->click();
  w.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // 1802 .. 2313, s = 1
  QTest::mouseClick(w.PaintBox1, Qt::LeftButton, {}, QPoint(16 + 40, 100));
  EXPECT_EQ(w.Label3->text(), "1842");

  testing::TempDir dir;
  testing::fillSpectrum(w.session(), 4096, [](int c) { return c % 50; });
  ASSERT_TRUE(WriteSpectrumFile(w.session(), dir.path("s.dat")));
  w.chooseReadPath = [&] { return QString::fromStdString(dir.path("s.dat")); };
  w.Read1->trigger();  // 0 .. 4095, s = 8
  QTest::mouseClick(w.PaintBox1, Qt::LeftButton, {}, QPoint(16 + 73, 100));
  EXPECT_EQ(w.Label3->text(), "584");
}

TEST(WindowRoiList, TheListShowsNoEntryUntilOneIsChosen) {
  Rig r;
  TForm1& w = *r.window;
  EXPECT_EQ(w.ROINoSelect->currentIndex(), -1);
  EXPECT_TRUE(w.ROINoSelect->currentText().isEmpty());
  w.ROIOnCheck->click();
  EXPECT_EQ(w.Edit1->text(), "Error ! ROI # Unknown");
  EXPECT_EQ(w.ROINoSelect->currentIndex(), -1);  // still none, as the page holds
  emit w.ROINoSelect->activated(3);
  EXPECT_EQ(w.ROINoSelect->currentIndex(), 3);
  EXPECT_EQ(w.session().RoiPage.Selected, 3);
}

TEST(WindowStatusField, APathShowsAsItsFileNameWithTheWholePathInTheToolTip) {
  Rig r;
  TForm1& w = *r.window;
  testing::TempDir dir;
  w.session().LastPath = dir.path("last.dat");
  w.session().Working.setName("sample.dat");
  w.PlotLpt->click();
  if (w.Edit1->text().startsWith("Report sent to")) GTEST_SKIP() << "a printer is installed: no file is written";
  EXPECT_EQ(w.Edit1->text(), "Report: sample_report.pdf");
  EXPECT_EQ(w.Edit1->toolTip(), QString::fromStdString("Report: " + dir.path("sample_report.pdf")));
  w.Edit1->setText("x");
  w.session().Texts.Edit1 = "Error ! ROI LowCh";  // no path: no tool tip
  w.refresh();
  EXPECT_EQ(w.Edit1->text(), "Error ! ROI LowCh");
  EXPECT_TRUE(w.Edit1->toolTip().isEmpty());
  // A message longer than the field shows from its start, whole in the tool tip.
  const std::string longText = "earlier passes are kept; this scan's passes are saved from scan1_0012.dat";
  w.session().Texts.Edit1 = longText;
  w.refresh();
  EXPECT_EQ(w.Edit1->cursorPosition(), 0);
  EXPECT_EQ(w.Edit1->toolTip(), QString::fromStdString(longText));
}

}  // namespace
}  // namespace tolvane

#include <QLocale>

#include "xfit/standard_table.h"
#include "xfit/standards_editor_dialog.h"
#include "xfit/table_file_dialog.h"

namespace tolvane {
namespace {

TEST(TableDialog, ANewNameIsTakenAndGetsTheTableExtension) {
  testing::TempDir dir;
  const auto dialog = newTableOpenDialog(nullptr);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setDirectory(QString::fromStdString(dir.dir()));
  dialog->selectFile("steel");                    // no such file yet
  static_cast<QDialog*>(dialog.get())->accept();  // as the Open button does
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  ASSERT_EQ(dialog->selectedFiles().size(), 1);
  EXPECT_EQ(dialog->selectedFiles().front(), QString::fromStdString(dir.path("steel.ref")));

  const auto other = newTableOpenDialog(nullptr);
  other->setOption(QFileDialog::DontUseNativeDialog);
  other->setDirectory(QString::fromStdString(dir.dir()));
  other->selectFile("old.tab");  // an extension typed stays as it is
  static_cast<QDialog*>(other.get())->accept();
  EXPECT_EQ(other->selectedFiles().front(), QString::fromStdString(dir.path("old.tab")));
}

TEST(StandardsEditor, OnlyTheRightPanelFollowsTheRightEdge) {
  StandardTable table;
  TEditStd editor(table, nullptr);
  editor.show();
  const QRect row = editor.Rows[0].FileName->geometry();
  // The FP wt% column stands between the file names and the panel.
  EXPECT_EQ(editor.Panel1->geometry(), QRect(614, 23, 95, 385));
  EXPECT_EQ(editor.Rows[0].FpWt->geometry(), QRect(504, 24, 105, 21));
  editor.resize(913, 410);
  EXPECT_EQ(editor.Panel1->geometry(), QRect(814, 23, 95, 385));
  EXPECT_EQ(editor.Rows[0].FileName->geometry(), row);
  editor.resize(713, 410);
  EXPECT_EQ(editor.Panel1->x(), 614);
}

TEST(StandardsEditor, AWtPercentTakesTheLocalesCommaAndThePoint) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  StandardTable table;
  TEditStd editor(table, nullptr);
  QLineEdit* wt = editor.Rows[2].Wtper;
  wt->clear();
  QTest::keyClicks(wt, "12,5");
  EXPECT_EQ(table.Records[2].wtper(), 12.5f);
  wt->clear();
  QTest::keyClicks(wt, "7.25");
  EXPECT_EQ(table.Records[2].wtper(), 7.25f);
  QLocale::setDefault(saved);
}

TEST(XfitPage, TheFiveButtonsStandWhereTheLayoutPutsThem) {
  Rig r;
  TForm1& w = *r.window;
  EXPECT_EQ(w.AddStd->geometry(), QRect(4, 8, 65, 20));
  EXPECT_EQ(w.EditStd->geometry(), QRect(4, 35, 65, 20));
  EXPECT_EQ(w.ListStd->geometry(), QRect(4, 64, 65, 20));
  EXPECT_EQ(w.LoadStd->geometry(), QRect(80, 64, 73, 20));
  EXPECT_EQ(w.MLSQfit->geometry(), QRect(80, 8, 73, 45));
}

}  // namespace
}  // namespace tolvane
