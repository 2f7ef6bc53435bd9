// The window while the analyser keeps it waiting: exchanges run off the
// window's thread, so events are still handled, and Stop and Exit end a
// read that waits on a silent analyser instead of sitting out its time-out.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "app/main_window.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"

namespace tolvane {
namespace {

// Real time, so a silent analyser really keeps a read waiting.
struct SteadyWindowRig {
  SteadyWindowRig() {
    bridge.attach();
    window = std::make_unique<TForm1>(bridge, clock);
    window->McaOpen->click();
    window->McaStart->click();
  }
  SimulatedAnalyser& analyser() { return bridge.analyser(0); }
  // The next tick's first block read gets no reply.
  void silenceNextBlockRead() {
    analyser().addFault({SimFaultKind::NoReply, "$R1;", 0, 1});
    analyser().clearFrameLog();
  }
  SteadyClock clock;
  SimFtdi bridge{clock};
  std::unique_ptr<TForm1> window;
};

// Runs `action`, and `duringWait` from the window's event loop once the
// worker has sent a frame the silent analyser leaves waiting. Returns
// whether `duringWait` ran while that exchange was still waiting.
bool runWithEventDuringWait(SteadyWindowRig& rig, const std::function<void()>& action,
                            const std::function<void()>& duringWait) {
  TForm1& w = *rig.window;
  bool ranWhileWaiting = false;
  QTimer probe;
  probe.setInterval(1);
  const uint64_t sent = rig.analyser().framesReceived();
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!w.linkBusy() || rig.analyser().framesReceived() == sent) return;
    probe.stop();
    ranWhileWaiting = true;
    duringWait();
  });
  probe.start();
  action();
  return ranWhileWaiting;
}

// The same for a tick whose first block read gets no reply.
bool tickWithEventDuringWait(SteadyWindowRig& rig, const std::function<void()>& duringWait) {
  rig.silenceNextBlockRead();
  return runWithEventDuringWait(rig, [&] { rig.window->onTimer1(); }, duringWait);
}

// "SetUp" (`button`) with the analyser silent on the dwell or preset frame
// "$P25;": a Stop made while it waits must run then, and end the wait.
void expectSetUpWaitEndedByStop(SteadyWindowRig& rig, QPushButton* button) {
  TForm1& w = *rig.window;
  EXPECT_TRUE(runWithEventDuringWait(rig, [&] { button->click(); }, [&] { w.McaStop->click(); }));
  EXPECT_FALSE(w.linkBusy());
  // The waiting preset gave up; nothing more went out until the Stop.
  const std::vector<std::string> frames = rig.analyser().frameLog();
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[0], "$P25;");
  EXPECT_EQ(frames[1], "$S;");
}

TEST(LinkWorker, TheWindowHandlesEventsAndStopEndsAReadThatWaits) {
  SteadyWindowRig rig;
  TForm1& w = *rig.window;
  ASSERT_TRUE(w.session().Display.LogScale);

  EXPECT_TRUE(tickWithEventDuringWait(rig, [&] {
    w.AutoVfs->click();  // an ordinary control: taken now, done when the tick is over
    EXPECT_TRUE(w.session().Display.LogScale);
    w.McaStop->click();
  }));
  EXPECT_FALSE(w.session().Display.LogScale);
  // The waiting read gave up at once: the tick sent nothing more (no other
  // block, no status). The controls then ran in the order they were used,
  // and the stop read the final counts.
  const std::vector<std::string> frames = rig.analyser().frameLog();
  ASSERT_GE(frames.size(), 4u);
  EXPECT_EQ(frames[0], "$R1;");
  EXPECT_EQ(frames[1].substr(0, 2), "$V");  // the full-scale step
  EXPECT_EQ(frames[2], "$S;");
  EXPECT_EQ(frames[3], "$R1;");
  EXPECT_EQ(frames.back(), "$R0;");
  EXPECT_FALSE(rig.analyser().running());
  EXPECT_EQ(w.session().Acquisition.Running, 0);
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_FALSE(w.linkBusy());
}

// The setup dialog's OK sends the preset and memory size from the worker:
// while the analyser keeps the preset's answer waiting, the window goes on
// handling events, and a Stop ends the wait.
TEST(LinkWorker, SetUpSendsItsFramesWhileTheWindowHandlesEvents) {
  SteadyWindowRig rig;
  TForm1& w = *rig.window;
  w.McaStop->click();
  ASSERT_FALSE(w.Timer1->isActive());
  rig.analyser().addFault({SimFaultKind::NoReply, "$P25;", 0, 1});
  rig.analyser().clearFrameLog();
  w.runSetupDialog = [](McaSetupFields& f) {
    f.PresetRT = "2.5";
    return true;
  };
  expectSetUpWaitEndedByStop(rig, w.Button10);
  EXPECT_EQ(w.session().Mca.PresetTime, 25);
}

// The same for the ZORV page's SetUp: a Stop ends the wait for the dwell.
TEST(LinkWorker, ScanSetUpSendsItsFramesWhileTheWindowHandlesEvents) {
  SteadyWindowRig rig;
  TForm1& w = *rig.window;
  w.McaStop->click();
  rig.analyser().addFault({SimFaultKind::NoReply, "$P25;", 0, 1});
  rig.analyser().clearFrameLog();
  w.runScanSetupDialog = [](ScanSetupFields& f) {
    f.ZORVPreSetTime = "25";
    return true;
  };
  expectSetUpWaitEndedByStop(rig, w.Button7);
  EXPECT_EQ(w.session().Scan.PresetTime, 25);
}

// Counts Timer1's timer events: the ticks that fired, run or queued.
class TimerEventCounter final : public QObject {
 public:
  explicit TimerEventCounter(QTimer* timer) { timer->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Timer) ++count;
    return false;
  }
};

// A stop (`stopButton`) the analyser does not answer waits out the link's
// time-out, so the polling timer fires meanwhile and its tick waits behind
// the stop. That tick finds the run over: the timer stays off and no block
// or status read follows the unanswered stop, then or later.
void expectUnansweredStopEndsThePolling(SteadyWindowRig& rig, QPushButton* stopButton) {
  TForm1& w = *rig.window;
  ASSERT_TRUE(w.Timer1->isActive());
  rig.analyser().addFault({SimFaultKind::NoReply, "$S;", 0, -1});
  rig.analyser().clearFrameLog();
  TimerEventCounter ticks(w.Timer1);
  stopButton->click();
  ASSERT_GE(ticks.count, 1);  // a tick was due during the stop
  QTest::qWait(3 * w.Timer1->interval());
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_FALSE(w.session().Timer1.Enabled);
  EXPECT_TRUE(w.session().Acquisition.StopUnconfirmed);
  const std::vector<std::string> frames = rig.analyser().frameLog();
  const auto stop = std::find(frames.begin(), frames.end(), "$S;");
  ASSERT_NE(stop, frames.end());
  for (auto frame = stop; frame != frames.end(); ++frame)
    EXPECT_NE(frame->substr(0, 2), "$R") << "read after the unanswered stop: " << *frame;
}

TEST(LinkWorker, ATickWaitingBehindAnUnansweredStopDoesNotRestartThePolling) {
  SteadyWindowRig rig;
  expectUnansweredStopEndsThePolling(rig, rig.window->McaStop);
}

TEST(LinkWorker, ATickWaitingBehindAnUnansweredAbortDoesNotRestartTheScan) {
  SteadyWindowRig rig;
  TForm1& w = *rig.window;
  w.McaStop->click();
  w.runScanSetupDialog = [](ScanSetupFields& f) {
    f.MemorySize = 1024;
    f.ZORVPreSetTime = "2";  // 0.2 s passes: one ends during the abort's wait
    f.DispRefTimer = "100";
    return true;
  };
  w.Button7->click();
  w.ZorvStart->click();
  QTest::qWait(300);
  const int passesRead = w.session().Acquisition.ScanCount;
  expectUnansweredStopEndsThePolling(rig, w.ZorvStop);
  EXPECT_EQ(w.session().Acquisition.ScanCount, passesRead);  // no pass taken after the abort
}

TEST(LinkWorker, ExitWhileAReadWaitsClosesWithoutStoppingTheAnalyser) {
  SteadyWindowRig rig;
  TForm1& w = *rig.window;
  w.show();
  w.askExitDuringRun = [] { return TForm1::RunExitChoice::ExitWithoutSaving; };
  EXPECT_TRUE(tickWithEventDuringWait(rig, [&] {
    w.Exit1->trigger();
    EXPECT_TRUE(w.isVisible());  // not while the worker still holds the Session
  }));
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(rig.analyser().frameLog(), std::vector<std::string>{"$R1;"});
  EXPECT_TRUE(rig.analyser().running());  // a run is left to the analyser
}

TEST(LinkWorker, ClosingTheWindowWhileAReadWaitsWaitsForTheRead) {
  SteadyWindowRig rig;
  TForm1& w = *rig.window;
  w.show();
  w.askExitDuringRun = [] { return TForm1::RunExitChoice::ExitWithoutSaving; };
  EXPECT_TRUE(tickWithEventDuringWait(rig, [&] {
    EXPECT_FALSE(w.close());  // refused for now
  }));
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(rig.analyser().frameLog(), std::vector<std::string>{"$R1;"});
}

}  // namespace
}  // namespace tolvane
