#pragma once
// The analyser commands and what each changes in the records it is given.
// Every command goes to analyser 0 through the transport and returns its
// outcome: done, refused by the analyser, a link failure or a time-out.
// None of them knows about the window: the callers turn outcomes into texts
// and timer state.
#include <cstdint>
#include <string>
#include <string_view>

#include "device/mca_transport.h"

namespace tolvane {

struct AcquisitionState;
struct SpectrumRecord;

enum class [[nodiscard]] LinkOutcome {
  Done,        // accepted (or, for a read, received whole)
  Refused,     // the analyser answered with something other than "!"
  LinkFailed,  // a write, queue poll or read failed
  TimedOut,    // no whole reply within the link time-out
  NoFrame,     // the value has no frame in the protocol: nothing was sent
};

// Runs one acknowledged command. Shared by the view controls, which build
// their own frames.
LinkOutcome SendCommand(McaTransport& link, std::string_view frame);

// "$G;": Mode 1 before sending; Running 1 when accepted, else 0.
LinkOutcome StartAcquisition(McaTransport& link, AcquisitionState& acquisition);
// "$X;": Mode 0 before sending; ScanCount 0 and Running 1 when accepted,
// else Running 0.
LinkOutcome StartScan(McaTransport& link, AcquisitionState& acquisition);
// "$S;": Running 0 when accepted. A stop that cannot reach the analyser
// (link failure or time-out) also ends the run here, so the caller can stop
// polling an analyser that will never answer; a refusal leaves it running.
LinkOutcome StopAcquisition(McaTransport& link, AcquisitionState& acquisition);
// "$C;": working counts 0 .. ChannelCount-1 cleared when accepted.
LinkOutcome ClearSpectrum(McaTransport& link, const AcquisitionState& acquisition, SpectrumRecord& working);
// "$CX;": ScanCount 0 and the second bank cleared before sending; the
// working counts cleared when accepted.
LinkOutcome ClearScan(McaTransport& link, AcquisitionState& acquisition, SpectrumRecord& working);

enum class [[nodiscard]] SpectrumRead {
  Complete,      // every block arrived
  BlocksMissed,  // a queue poll failed: those blocks kept their old counts
  Failed,        // the link failed or timed out; the blocks after it were not read
};
// "$R1;" .. "$Rn;" into the working counts. Unless it Failed, MaxCount is
// set and the count total is left in CountRate.
SpectrumRead ReadSpectrum(McaTransport& link, AcquisitionState& acquisition, SpectrumRecord& working);
// "$R0;" into acquisition.Status; the status is untouched unless Done.
LinkOutcome ReadStatus(McaTransport& link, AcquisitionState& acquisition);
// "$P<n>;": AnalyserPresetTime recorded when accepted.
LinkOutcome SetPresetTime(McaTransport& link, AcquisitionState& acquisition, int32_t tenths);
LinkOutcome SetMemorySize(McaTransport& link, int32_t channels);                   // "$M<n>;"
LinkOutcome SetCursor(McaTransport& link, int32_t channel);                        // "$@Cnnnn;"
LinkOutcome SetRoiWindow(McaTransport& link, int roi, int32_t low, int32_t high);  // "$@Rn,llll,hhhh;"
LinkOutcome SetOutputMode(McaTransport& link, char mode);                          // "$DG;" "$DS;" "$DM;"

// Frame texts, exposed for the handlers that show them and for tests.
std::string presetFrame(int32_t tenths);
std::string memorySizeFrame(int32_t channels);  // empty for a size with no frame
std::string cursorFrame(int32_t channel);
std::string roiWindowFrame(int roi, int32_t low, int32_t high);

}  // namespace tolvane
