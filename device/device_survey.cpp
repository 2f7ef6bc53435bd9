#include "device/device_survey.h"

#include "device/link_advice.h"

namespace tolvane {

DeviceSurvey surveyDevices(FtdiApi& api) {
  DeviceSurvey survey;
  std::vector<DeviceDescription> devices;
  survey.status = api.describeDevices(devices);
  if (survey.status != FtOk) return survey;
  for (const DeviceDescription& d : devices) {
    SurveyedDevice s;
    s.device = d;
    FtHandle handle = nullptr;
    const FtStatus status = d.serial.empty() ? FtDeviceNotOpened : api.openBySerial(d.serial.c_str(), handle);
    if (status == FtOk) {
      s.openable = true;
      api.close(handle);
    } else {
      const LinkDiagnosis why = d.unreadable.problem != LinkProblem::None ? d.unreadable : api.lastProblem();
      s.problem = why.problem;
      s.error = linkAdvice(why);
      if (s.error.empty()) s.error = "cannot be opened (status " + std::to_string(status) + ")";
    }
    survey.devices.push_back(std::move(s));
  }
  return survey;
}

}  // namespace tolvane
