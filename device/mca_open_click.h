#pragma once
namespace tolvane {
class Session;
// "OpenMCA": opens analyser 0 the first time; later presses repeat the open
// sequence silently.
void McaOpenClick(Session& session);
// The start buttons open the analyser themselves when no listing has
// succeeded yet, and report the count in the status field.
void OpenDeviceIfUnlisted(Session& session);
}  // namespace tolvane
