#pragma once
// The analyser commands and what each changes in the shared state. Every
// operation returns 1 on success and 0 on failure and addresses analyser 0.
#include <cstdint>
#include <string>

#include "device/mca_transport.h"

namespace tolvane {

class Session;

// Runs one acknowledged command. Shared by the view controls, which build
// their own frames.
CommandResult SendCommand(Session& session, const std::string& frame);

int StartAcquisition(Session& session, int device);  // "$G;"
int StartScan(Session& session, int device);         // "$X;"
int StopAcquisition(Session& session, int device);   // "$S;"
int ClearSpectrum(Session& session, int device);     // "$C;"
int ClearScan(Session& session, int device);         // "$CX;"
int ReadSpectrum(Session& session, int device);      // "$R1;" .. "$Rn;"

enum class SpectrumRead {
  Complete,      // every block arrived
  BlocksMissed,  // a queue poll failed: those blocks kept their old counts
  Failed,        // the link timed out; the blocks after it were not read
};
// ReadSpectrum with its outcome (ReadSpectrum returns 0 only for Failed).
SpectrumRead ReadSpectrumBlocks(Session& session);
int ReadStatus(Session& session, int device);                                        // "$R0;"
int SetPresetTime(Session& session, int device, int32_t tenths);                     // "$P<n>;"
int SetMemorySize(Session& session, int device, int32_t channels);                   // "$M<n>;"
int SetCursor(Session& session, int device, int32_t channel);                        // "$@Cnnnn;"
int SetRoiWindow(Session& session, int device, int roi, int32_t low, int32_t high);  // "$@Rn,llll,hhhh;"
int SetOutputMode(Session& session, int device, char mode);                          // "$DG;" "$DS;" "$DM;"

// Frame texts, exposed for the handlers that show them and for tests.
std::string presetFrame(int32_t tenths);
std::string memorySizeFrame(int32_t channels);  // empty for a size with no frame
std::string cursorFrame(int32_t channel);
std::string roiWindowFrame(int roi, int32_t low, int32_t high);

// Shown in the status field when a stop cannot reach the analyser.
inline constexpr const char* kStopLinkFailedText = "Link error: polling stopped";

}  // namespace tolvane
