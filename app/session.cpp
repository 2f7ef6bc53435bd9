#include "app/session.h"

namespace tolvane {

Session::Session(FtdiApi& api, Clock& clock) : api_(api), clock_(clock) { InitialiseState(*this); }

}  // namespace tolvane
