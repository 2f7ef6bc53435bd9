#include "handlers/mca_handlers.h"

#include "acquisition/mca_start.h"
#include "acquisition/mca_stop.h"
#include "acquisition/mca_tick.h"
#include "acquisition/precision_stop.h"
#include "app/session.h"
#include "device/device_link.h"
#include "device/ftdi_api.h"
#include "device/link_advice.h"
#include "handlers/plot_handlers.h"
#include "handlers/mapping_handlers.h"

namespace tolvane {

void McaOpenClick(Session& s) {
  if (s.Acquisition.DeviceCount != 0) {
    (void)OpenAnalyser(s.api(), s.Link, s.Acquisition, 0);  // a second press opens again and shows nothing
    return;
  }
  if (OpenAnalyser(s.api(), s.Link, s.Acquisition, 0) == OpenOutcome::Opened) {
    s.Texts.Edit2 = std::to_string(s.Acquisition.DeviceCount);
    s.RunButtonsEnabled = true;
    s.Acquisition.DeviceOpen = 1;
  } else {
    s.Texts.Edit2 = "Error";
    // A set-up problem the user can fix (permissions, a driver holding the
    // device) is named in the status field with what to do.
    const std::string advice = linkStatusText(s.api().lastProblem());
    s.Texts.Edit1 = advice.empty() ? kNoAnalyserText : advice;
  }
}

void OpenDeviceIfUnlisted(Session& s) {
  if (s.Acquisition.DeviceCount != 0) return;
  if (OpenAnalyser(s.api(), s.Link, s.Acquisition, 0) == OpenOutcome::Opened)
    s.Texts.Edit1 = std::to_string(s.Acquisition.DeviceCount);
}

void ShowAnalyserView(WindowTexts& texts, const DeviceStatus& status) {
  texts.Label1 = std::to_string(status.viewFirst()) + "ch";
  texts.Label2 = std::to_string(status.viewLast()) + "ch";
  texts.Label3 = std::to_string(status.viewCursor());
}

void ShowStopOutcome(Session& s, LinkOutcome stop, bool retried) {
  switch (stop) {
    case LinkOutcome::Done:
      s.Timer1.Enabled = false;
      if (retried) s.Texts.Edit1 = kStopConfirmedText;
      return;
    case LinkOutcome::Refused:
    case LinkOutcome::NoFrame:
      return;  // the analyser said no: the run goes on
    case LinkOutcome::LinkFailed:
    case LinkOutcome::TimedOut:
      // The analyser cannot be reached: stop polling it so the user is not
      // left with a run that can never be stopped.
      s.Timer1.Enabled = false;
      s.Texts.Edit1 = kStopLinkFailedText;
      return;
  }
}

void McaStartClick(Session& s) {
  PrepareMcaRun(s);
  OpenDeviceIfUnlisted(s);
  if (StartMcaRun(s) == LinkOutcome::Done) s.Timer1.Enabled = true;
  DrawLogFrame(s, true);
  PaintBox1Paint(s);
}

void McaStopClick(Session& s) {
  const bool retried = s.Acquisition.StopUnconfirmed;
  const McaStopResult stop = StopMcaRun({s.Transport, s.Acquisition, s.Working, s.Display, s.Mca});
  ShowStopOutcome(s, stop.Stop, retried);
  if (stop.FinalRead && stop.FinalStatus == LinkOutcome::Done) ShowAnalyserView(s.Texts, s.Acquisition.Status);
  PaintBox1Paint(s);
}

void McaClearClick(Session& s) {
  const bool counting = s.Acquisition.Running;
  // A cleared spectrum that is not counting keeps no times of the run it
  // held, so a file written after it does not claim them.
  if (ClearSpectrum(s.Transport, s.Acquisition, s.Working) == LinkOutcome::Done && !counting)
    ForgetRunTimes(s.Acquisition);
  PaintBox1Paint(s);
}

void McaTick(Session& s) {
  const McaTickResult tick =
      McaStep({s.Transport, s.Acquisition, s.Working, s.Display, s.Mca}, [&s] { return PrecisionReached(s); });
  if (tick.Status == LinkOutcome::Done) ShowAnalyserView(s.Texts, s.Acquisition.Status);
  if (tick.runEnded()) {
    const bool forPrecision = tick.Outcome == McaTickOutcome::PrecisionReached;
    NoteRunEnd(s, forPrecision ? StopReason::Precision : StopReason::Preset);
    if (forPrecision) s.Texts.Edit1 = precisionStopText(s.Precision);  // why the run ended before its preset
    // A stop that failed on the link says so; the run is over either way
    // and the timer stays off.
    ShowStopOutcome(s, tick.Stop);
    s.Timer1.Enabled = false;
  } else {
    // The timer was off around the transfer only.
    s.Timer1.Enabled = true;
  }
  PaintBox1Paint(s);
}

void Timer1Timer(Session& s) {
  if (s.Acquisition.Mode == 1)
    McaTick(s);
  else if (s.Acquisition.Mode == 0)
    MappingTick(s);
  // An unplugged analyser fails every exchange at once; say so rather than
  // leave the user looking at a spectrum that no longer changes.
  if (s.api().lastProblem().problem == LinkProblem::Disconnected) s.Texts.Edit1 = kDisconnectedText;
}

}  // namespace tolvane
