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

}  // namespace
}  // namespace tolvane
