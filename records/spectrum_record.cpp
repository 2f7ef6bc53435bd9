#include "records/spectrum_record.h"

namespace tolvane {

void SpectrumRecord::setName(const std::string& name) { Name = name.substr(0, kMaxNameLength); }

}  // namespace tolvane
