#include "acquisition/sca_modes.h"

#include "app/session.h"
#include "device/mca_commands.h"

namespace tolvane {

void SCAGATEClick(Session& s) { SetOutputMode(s.Transport, 'G'); }
void SCAFASTClick(Session& s) { SetOutputMode(s.Transport, 'S'); }
void MCAClick(Session& s) { SetOutputMode(s.Transport, 'M'); }

}  // namespace tolvane
