// The real window on the offscreen platform: File > Import of the formats
// other programs write.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>

#include "app/main_window.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct Window {
  Window() {
    bridge.attach();
    window = std::make_unique<TForm1>(bridge, clock);
  }
  ManualClock clock;
  SimFtdi bridge{clock};
  std::unique_ptr<TForm1> window;
};

std::string importSample(const std::string& name) {
  return std::string(TOLVANE_SOURCE_DIR) + "/tests/files/imports/" + name;
}

TEST(WindowImport, ReadsEachFormatAndRefusesAMalformedFileNamingItsLine) {
  Window r;
  TForm1& w = *r.window;
  QString path = QString::fromStdString(importSample("pmca_minimal.mca"));
  w.chooseImportPath = [&] { return path; };
  w.Import1->trigger();
  EXPECT_EQ(w.Edit1->text(), "Padded 32 -> 512 ch");
  EXPECT_EQ(w.session().Working.Counts[7], 210);
  EXPECT_EQ(w.session().Working.Name, "pmca_minimal.mca");
  EXPECT_TRUE(w.session().Calibration.Valid);
  EXPECT_FLOAT_EQ(w.session().Calibration.Gain, 0.05f);

  path = QString::fromStdString(importSample("spec_pymca.spec"));
  w.Import1->trigger();
  EXPECT_EQ(w.session().Working.Name, "spec_pymca.spec");
  EXPECT_EQ(w.session().Acquisition.LiveTime, 987);

  testing::TempDir dir;
  const std::string bad = dir.path("bad.txt");
  const std::string text = "channel,counts\n0,5\n1,five\n";
  testing::writeFileBytes(bad, std::vector<uint8_t>(text.begin(), text.end()));
  path = QString::fromStdString(bad);
  w.Import1->trigger();
  EXPECT_EQ(w.Edit1->text(), "Text line 3: text in data");
  EXPECT_EQ(w.session().Working.Name, "spec_pymca.spec");  // the spectrum shown stays
}

}  // namespace
}  // namespace tolvane
