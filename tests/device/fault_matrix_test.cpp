// Every exchange with the analyser against every fault the simulated
// analyser can inject: each ends within the link time-out, leaves the state
// a failed exchange should leave, and the next good exchange works. The
// matrix is printed as a table.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "acquisition/mapping_scan.h"
#include "acquisition/run_control.h"
#include "device/mca_commands.h"
#include "test_support.h"

namespace tolvane {
namespace {

struct Transaction {
  const char* name;
  const char* prefix;  // frames the fault applies to
  std::function<void(testing::SimRig&)> prepare;
  std::function<void(Session&)> run;
  // The shared state a failed exchange must leave: checked after the fault.
  std::function<bool(const Session&)> stateHolds;
};

constexpr SimFaultKind kFaults[] = {SimFaultKind::NoReply,    SimFaultKind::Refuse,     SimFaultKind::Garbage,
                                    SimFaultKind::ShortReply, SimFaultKind::ExtraBytes, SimFaultKind::SlowReply,
                                    SimFaultKind::Disconnect};

std::vector<Transaction> transactions() {
  const auto running = [](testing::SimRig& r) {
    r.open();
    McaStartClick(*r.session);
  };
  const auto opened = [](testing::SimRig& r) { r.open(); };
  const auto any = [](const Session&) { return true; };
  return {
      {"$G; start", "$G;", opened, [](Session& s) { StartAcquisition(s, 0); },
       [](const Session& s) { return s.Acquisition.Running == (s.Timer1.Enabled ? 1 : 0); }},
      {"$X; scan", "$X;", opened, [](Session& s) { StartScan(s, 0); },
       [](const Session& s) { return s.Acquisition.Mode == 0; }},
      {"$S; stop", "$S;", running, [](Session& s) { StopAcquisition(s, 0); },
       [](const Session& s) { return s.Timer1.Enabled == (s.Acquisition.Running == 1); }},
      {"$C; clear", "$C;", opened, [](Session& s) { ClearSpectrum(s, 0); }, any},
      {"$CX; clear scan", "$CX;", opened, [](Session& s) { ClearScan(s, 0); },
       [](const Session& s) { return s.Acquisition.ScanCount == 0; }},
      {"$P preset", "$P", opened, [](Session& s) { SetPresetTime(s, 0, 50); },
       [](const Session& s) { return s.Texts.Edit1 == "$P50;"; }},
      {"$M size", "$M", opened, [](Session& s) { SetMemorySize(s, 0, 1024); }, any},
      {"$@C cursor", "$@C", opened, [](Session& s) { SetCursor(s, 0, 100); }, any},
      {"$@R window", "$@R", opened, [](Session& s) { SetRoiWindow(s, 0, 1, 10, 20); }, any},
      {"$D mode", "$D", opened, [](Session& s) { SetOutputMode(s, 0, 'G'); }, any},
      {"view $E;", "$E;", running, [](Session& s) { SendCommand(s, "$E;"); }, any},
      {"$R0; status", "$R0;", opened, [](Session& s) { ReadStatus(s, 0); }, any},
      {"$Rn; spectrum", "$R", opened, [](Session& s) { ReadSpectrum(s, 0); },
       [](const Session& s) { return s.Acquisition.MaxCount >= 0; }},
      {"MCA tick", "", running, [](Session& s) { Timer1Timer(s); },
       [](const Session& s) {
         return s.Acquisition.LiveTime <= s.Acquisition.RealTime || s.Acquisition.RealTime == 0;
       }},
      {"mapping tick", "",
       [](testing::SimRig& r) {
         r.open();
         ZorvStartClick(*r.session);
       },
       [](Session& s) { Timer1Timer(s); }, [](const Session& s) { return s.Acquisition.ScanCount >= 0; }},
  };
}

TEST(FaultMatrix, EveryExchangeSurvivesEveryFault) {
  const auto list = transactions();
  std::printf("\n%-16s", "exchange");
  for (SimFaultKind f : kFaults) std::printf(" %-12s", simFaultName(f));
  std::printf("\n");
  int cells = 0, passed = 0;
  for (const Transaction& t : list) {
    std::printf("%-16s", t.name);
    for (SimFaultKind fault : kFaults) {
      testing::SimRig rig;
      t.prepare(rig);
      Session& s = *rig.session;
      rig.clock.advanceMillis(100);
      rig.analyser().addFault({fault, t.prefix, 0, 1, 2 * McaTransport::kReplyTimeoutMicros});
      const int64_t start = rig.clock.nowMicros();
      t.run(s);
      const int64_t took = rig.clock.nowMicros() - start;
      // One time-out per exchange at most; a tick holds two exchanges.
      const bool bounded = took <= 2 * McaTransport::kReplyTimeoutMicros + 50'000;
      const bool state = t.stateHolds(s);
      // The next good exchange works, unless the analyser was unplugged.
      bool recovers = true;
      if (fault != SimFaultKind::Disconnect) {
        rig.clock.advanceMillis(5000);  // late replies have arrived and are stale
        recovers = SendCommand(s, "$DM;") == CommandResult::Accepted && ReadStatus(s, 0) == 1;
      } else {
        recovers = SendCommand(s, "$DM;") == CommandResult::LinkFailed;  // and it says so
      }
      const bool ok = bounded && state && recovers;
      ++cells;
      passed += ok;
      std::printf(" %-12s", ok ? "ok" : (!bounded ? "SLOW" : !state ? "STATE" : "STUCK"));
      EXPECT_TRUE(ok) << t.name << " / " << simFaultName(fault) << " took " << took << " us";
    }
    std::printf("\n");
  }
  std::printf("%d of %d cells pass\n", passed, cells);
}

}  // namespace
}  // namespace tolvane
