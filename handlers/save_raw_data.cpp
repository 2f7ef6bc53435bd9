#include "handlers/save_raw_data.h"

namespace tolvane {

bool SaveRawDataClick(ScanSetupFields& fields, const std::function<std::string()>& chooseFile) {
  const std::string path = chooseFile();
  if (path.empty()) {
    fields.SavePath.clear();
    fields.Edit3 = ScanSetupFields{}.Edit3;
  } else {
    fields.SavePath = fields.Edit3 = path;
  }
  return !fields.SavePath.empty();
}

}  // namespace tolvane
