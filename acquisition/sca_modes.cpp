#include "acquisition/sca_modes.h"

#include "app/session.h"
#include "device/mca_commands.h"

namespace tolvane {

// The mode is sent whether or not the analyser is open, and nothing shows
// its answer: a refusal is ignored.
void SCAGATEClick(Session& s) { (void)SetOutputMode(s.Transport, 'G'); }
void SCAFASTClick(Session& s) { (void)SetOutputMode(s.Transport, 'S'); }
void MCAClick(Session& s) { (void)SetOutputMode(s.Transport, 'M'); }

}  // namespace tolvane
