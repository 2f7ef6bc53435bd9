#pragma once
// What a user should be told about a failed link: the cause and the fix,
// in full for the command line and the log, and short for the status field.
#include <string>

#include "device/ftdi_api.h"

namespace tolvane {

// Empty when there is nothing to say (no problem known).
std::string linkAdvice(const LinkDiagnosis& diagnosis);
std::string linkStatusText(const LinkDiagnosis& diagnosis);

}  // namespace tolvane
