#include "app/session.h"

namespace tolvane {

Session::Session(FtdiApi& api, Clock& clock) : EngineState(api, clock) { InitialiseState(*this); }

}  // namespace tolvane
