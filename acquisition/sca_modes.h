#pragma once
namespace tolvane {
class Session;
// The ROI-SCA radio buttons: the analyser's output mode, sent whether or
// not the analyser is open; nothing else changes.
void SCAGATEClick(Session& session);  // "$DG;"
void SCAFASTClick(Session& session);  // "$DS;"
void MCAClick(Session& session);      // "$DM;"
}  // namespace tolvane
