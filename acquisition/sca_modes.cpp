#include "acquisition/sca_modes.h"

#include "device/mca_commands.h"

namespace tolvane {

void SCAGATEClick(Session& s) { SetOutputMode(s, 0, 'G'); }
void SCAFASTClick(Session& s) { SetOutputMode(s, 0, 'S'); }
void MCAClick(Session& s) { SetOutputMode(s, 0, 'M'); }

}  // namespace tolvane
