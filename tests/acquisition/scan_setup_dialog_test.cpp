// The scan setup dialog's "Save Spectrum Data" box, clicked as a user does.
#include "acquisition/scan_setup_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

namespace tolvane {
namespace {

TEST(ScanSetupDialog, SaveSpectrumDataSwitchesOffWhenTheDialogIsCancelled) {
  ScanSetupFields fields;
  fields.SavePath = fields.Edit3 = "/data/map.dat";
  TZORVSetUp dialog(fields, nullptr);
  ASSERT_TRUE(dialog.SaveRawData->isChecked());
  int asked = 0;
  QString answer;
  dialog.chooseSavePath = [&] {
    ++asked;
    return answer;
  };
  dialog.SaveRawData->click();  // clearing: the file dialog opens and is cancelled
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(dialog.SaveRawData->isChecked());
  EXPECT_EQ(dialog.Edit3->text(), "File Name");
  EXPECT_EQ(dialog.fields().SavePath, "");

  dialog.SaveRawData->click();  // checking, cancelled: stays off
  EXPECT_FALSE(dialog.SaveRawData->isChecked());
  answer = "/data/next.dat";
  dialog.SaveRawData->click();
  EXPECT_TRUE(dialog.SaveRawData->isChecked());
  EXPECT_EQ(dialog.Edit3->text(), "/data/next.dat");
  EXPECT_EQ(dialog.fields().SavePath, "/data/next.dat");
}

TEST(ScanSetupDialog, MappingControlsFollowXrayMappingOnAndKeepTheirValues) {
  ScanSetupFields fields;
  fields.XMapSize = "64";
  fields.YMapSize = "48";
  fields.MapROI[2] = true;
  TZORVSetUp dialog(fields, nullptr);
  EXPECT_FALSE(dialog.ElementMapON->isChecked());
  EXPECT_FALSE(dialog.XMapSize->isEnabled());
  EXPECT_FALSE(dialog.MapROI[0]->isEnabled());
  EXPECT_FALSE(dialog.ScanSkipOption->isEnabled());
  dialog.ElementMapON->click();
  EXPECT_TRUE(dialog.XMapSize->isEnabled());
  EXPECT_TRUE(dialog.YMapSize->isEnabled());
  EXPECT_TRUE(dialog.MapROI[7]->isEnabled());
  EXPECT_TRUE(dialog.ScanSkipOption->isEnabled());
  EXPECT_TRUE(dialog.MapROI[2]->isChecked());
  dialog.MapROI[5]->click();
  dialog.ScanSkipOption->click();
  dialog.YMapSize->setText("12");
  const ScanSetupFields out = dialog.fields();
  EXPECT_TRUE(out.ElementMapON);
  EXPECT_EQ(out.XMapSize, "64");
  EXPECT_EQ(out.YMapSize, "12");
  EXPECT_TRUE(out.MapROI[2] && out.MapROI[5] && !out.MapROI[0]);
  EXPECT_TRUE(out.ScanSkipOption);
}

}  // namespace
}  // namespace tolvane
