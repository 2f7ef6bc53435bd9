// Every exchange with the analyser against every fault the simulated
// analyser can inject: each ends within the link time-out, returns exactly
// what that fault must give, leaves exactly the state it must leave, and
// the next good exchange works. The matrix is printed as a table.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "handlers/scan_setup_handlers.h"
#include "device/mca_commands.h"
#include "handlers/mapping_handlers.h"
#include "handlers/mca_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

// What a fault does to the frame it hits: whether the analyser carried it
// out, and whether the program saw an acknowledgement or a refusal.
bool executed(SimFaultKind f) {
  return f == SimFaultKind::ShortReply || f == SimFaultKind::ExtraBytes || f == SimFaultKind::SlowReply ||
         f == SimFaultKind::StrayThenLateReply;
}
bool accepted(SimFaultKind f) { return f == SimFaultKind::ExtraBytes; }
bool refused(SimFaultKind f) {
  return f == SimFaultKind::Refuse || f == SimFaultKind::Garbage || f == SimFaultKind::StrayThenLateReply;
}
int okCode(SimFaultKind f) { return accepted(f) ? 1 : 0; }
int code(LinkOutcome outcome) { return static_cast<int>(outcome); }
int code(SpectrumRead outcome) { return static_cast<int>(outcome); }
// An acknowledged command's outcome: an unplugged analyser is a link
// failure, a reply that never comes whole within the time-out a time-out.
int commandCode(SimFaultKind f) {
  return code(accepted(f)                     ? LinkOutcome::Done
              : refused(f)                    ? LinkOutcome::Refused
              : f == SimFaultKind::Disconnect ? LinkOutcome::LinkFailed
                                              : LinkOutcome::TimedOut);
}
// A read has no acknowledgement: a refusal or stray byte is a reply too
// short for the block, which then times out.
int statusCode(SimFaultKind f) {
  return code(accepted(f)                     ? LinkOutcome::Done
              : f == SimFaultKind::Disconnect ? LinkOutcome::LinkFailed
                                              : LinkOutcome::TimedOut);
}
int spectrumCode(SimFaultKind f) { return code(accepted(f) ? SpectrumRead::Complete : SpectrumRead::Failed); }

struct Transaction {
  const char* name;
  const char* prefix;  // frames the fault applies to
  std::function<void(testing::SimRig&)> prepare;
  std::function<int(Session&)> run;  // the exchange's return code
  std::function<int(SimFaultKind)> expectedCode;
  // The exact state the exchange must leave under this fault.
  std::function<bool(testing::SimRig&, SimFaultKind)> stateHolds;
};

constexpr SimFaultKind kFaults[] = {
    SimFaultKind::NoReply,    SimFaultKind::Refuse,    SimFaultKind::Garbage,    SimFaultKind::ShortReply,
    SimFaultKind::ExtraBytes, SimFaultKind::SlowReply, SimFaultKind::Disconnect, SimFaultKind::StrayThenLateReply};

std::vector<Transaction> transactions() {
  const auto running = [](testing::SimRig& r) {
    r.open();
    McaStartClick(*r.session);
  };
  const auto opened = [](testing::SimRig& r) { r.open(); };
  const auto withCounts = [](testing::SimRig& r) {
    r.open();
    Session& s = *r.session;
    std::fill(s.Working.Counts.begin(), s.Working.Counts.end(), 0);
    s.Working.Counts[5] = 7;
    s.Working.Counts[4096 + 5] = 7;
    s.Acquisition.ScanCount = 3;
    s.Acquisition.MaxCount = -1;
    std::vector<uint32_t> counts(4096, 0);
    counts[700] = 9;
    r.analyser().loadCounts(counts);
  };
  const auto noCode = [](SimFaultKind) { return 0; };
  return {
      {"$G; start", "$G;", opened, [](Session& s) { return code(StartAcquisition(s.Transport, s.Acquisition)); },
       commandCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         return s.Acquisition.Running == okCode(f) && s.Acquisition.Mode == 1 && r.analyser().running() == executed(f);
       }},
      {"Start button", "$G;", opened,
       [](Session& s) {
         McaStartClick(s);
         return 0;
       },
       noCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         return s.Acquisition.Running == okCode(f) && s.Timer1.Enabled == accepted(f) && s.Acquisition.Mode == 1 &&
                r.analyser().running() == executed(f);
       }},
      {"$X; scan", "$X;", opened, [](Session& s) { return code(StartScan(s.Transport, s.Acquisition)); }, commandCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         return s.Acquisition.Running == okCode(f) && s.Acquisition.Mode == 0 && r.analyser().scanning() == executed(f);
       }},
      {"ZORV Start", "$X;", opened,
       [](Session& s) {
         ZorvStartClick(s);
         return 0;
       },
       noCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         return s.Acquisition.Running == okCode(f) && s.Timer1.Enabled == accepted(f) && s.Acquisition.Mode == 0 &&
                r.analyser().scanning() == executed(f);
       }},
      {"$S; stop", "$S;", running, [](Session& s) { return code(StopAcquisition(s.Transport, s.Acquisition)); },
       commandCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         // A refusal leaves the run going; anything else ends it.
         return (s.Acquisition.Running == 0) == !refused(f) && r.analyser().running() == !executed(f);
       }},
      {"Stop button", "$S;", running,
       [](Session& s) {
         McaStopClick(s);
         return 0;
       },
       noCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         // A refusal leaves the run going; a link failure stops polling and says so.
         const bool stopped = !refused(f);
         const bool said = s.Texts.Edit1 == kStopLinkFailedText;
         return (s.Acquisition.Running == 0) == stopped && s.Timer1.Enabled == !stopped &&
                said == (stopped && !accepted(f)) && r.analyser().running() == !executed(f);
       }},
      {"$C; clear", "$C;", withCounts,
       [](Session& s) { return code(ClearSpectrum(s.Transport, s.Acquisition, s.Working)); }, commandCode,
       [](testing::SimRig& r, SimFaultKind f) { return r.session->Working.Counts[5] == (accepted(f) ? 0 : 7); }},
      {"$CX; clear scan", "$CX;", withCounts,
       [](Session& s) { return code(ClearScan(s.Transport, s.Acquisition, s.Working)); }, commandCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         return s.Acquisition.ScanCount == 0 && s.Working.Counts[4096 + 5] == 0 &&
                s.Working.Counts[5] == (accepted(f) ? 0 : 7);
       }},
      {"$P preset", "$P", opened, [](Session& s) { return code(SetPresetTime(s.Transport, s.Acquisition, 50)); },
       commandCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         return s.Acquisition.AnalyserPresetTime == (accepted(f) ? 50 : 0) &&
                r.analyser().presetTenths() == (executed(f) ? 50 : 10000);
       }},
      {"$M size", "$M", opened, [](Session& s) { return code(SetMemorySize(s.Transport, 1024)); }, commandCode,
       [](testing::SimRig& r, SimFaultKind f) { return r.analyser().channels() == (executed(f) ? 1024 : 4096); }},
      {"$@C cursor", "$@C", opened, [](Session& s) { return code(SetCursor(s.Transport, 100)); }, commandCode,
       [](testing::SimRig& r, SimFaultKind f) { return r.analyser().view().Cursor == (executed(f) ? 100 : 2048); }},
      {"$@R window", "$@R", opened, [](Session& s) { return code(SetRoiWindow(s.Transport, 1, 10, 20)); }, commandCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const ViewWindow w = r.analyser().roiWindow(1);
         return (w.First == 10 && w.Last == 20) == executed(f);
       }},
      {"$D mode", "$D", opened, [](Session& s) { return code(SetOutputMode(s.Transport, 'G')); }, commandCode,
       [](testing::SimRig& r, SimFaultKind f) { return r.analyser().outputMode() == (executed(f) ? 'G' : 'M'); }},
      {"view $E;", "$E;", running, [](Session& s) { return code(SendCommand(s.Transport, "$E;")); }, commandCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const ViewWindow v = r.analyser().view();
         return v.Last - v.First + 1 == (executed(f) ? 2048 : 4096);
       }},
      {"$R0; status", "$R0;", opened,
       [](Session& s) {
         s.Acquisition.Status.setViewLast(0);  // start-up keeps the plot's view there
         return code(ReadStatus(s.Transport, s.Acquisition));
       },
       statusCode,
       [](testing::SimRig& r, SimFaultKind f) {
         return r.session->Acquisition.Status.viewLast() == (accepted(f) ? 4095 : 0);
       }},
      {"$Rn; spectrum", "$R", withCounts,
       [](Session& s) { return code(ReadSpectrum(s.Transport, s.Acquisition, s.Working)); }, spectrumCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         // A failed first block stops the read: nothing is taken.
         return s.Working.Counts[700] == (accepted(f) ? 9 : 0) && s.Acquisition.MaxCount == (accepted(f) ? 9 : -1);
       }},
      {"MCA tick", "", running,
       [](Session& s) {
         Timer1Timer(s);
         return 0;
       },
       noCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         // Faults never stop the polling; only a whole spectrum gives a rate.
         return s.Timer1.Enabled && s.Acquisition.Running == 1 && s.Acquisition.Mode == 1 &&
                (s.Acquisition.CountRate > 0) == accepted(f);
       }},
      {"mapping tick", "",
       [](testing::SimRig& r) {
         r.open();
         ZorvStartClick(*r.session);
         r.session->Texts.Label7 = "before";
       },
       [](Session& s) {
         Timer1Timer(s);
         return 0;
       },
       noCode,
       [](testing::SimRig& r, SimFaultKind f) {
         const Session& s = *r.session;
         // A failed status read skips the labels; the preview is drawn all the same.
         return s.Timer1.Enabled && s.Acquisition.Running == 1 && s.Acquisition.Mode == 0 &&
                s.Acquisition.ScanCount == 0 && s.Texts.Label7 == (accepted(f) ? " " : "before");
       }},
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
      const int code = t.run(s);
      const int64_t took = rig.clock.nowMicros() - start;
      // One time-out per exchange at most; a tick holds two exchanges.
      const bool bounded = took <= 2 * McaTransport::kReplyTimeoutMicros + 50'000;
      const bool codeRight = code == t.expectedCode(fault);
      const bool state = t.stateHolds(rig, fault);
      // The next good exchange works, unless the analyser was unplugged.
      bool recovers = true;
      if (fault != SimFaultKind::Disconnect) {
        rig.clock.advanceMillis(5000);  // late replies have arrived and are stale
        recovers = SendCommand(s.Transport, "$DM;") == LinkOutcome::Done &&
                   ReadStatus(s.Transport, s.Acquisition) == LinkOutcome::Done;
      } else {
        recovers = SendCommand(s.Transport, "$DM;") == LinkOutcome::LinkFailed;  // and it says so
      }
      const bool ok = bounded && codeRight && state && recovers;
      ++cells;
      passed += ok;
      std::printf(" %-12s", ok ? "ok" : !bounded ? "SLOW" : !codeRight ? "CODE" : !state ? "STATE" : "STUCK");
      EXPECT_TRUE(ok) << t.name << " / " << simFaultName(fault) << " took " << took << " us, returned " << code;
    }
    std::printf("\n");
  }
  std::printf("%d of %d cells pass\n", passed, cells);
}

}  // namespace
}  // namespace tolvane
