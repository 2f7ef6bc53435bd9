#pragma once
// The attached analysers as a user checking the set-up wants to see them:
// what the descriptors say and whether this user can open each one (and if
// not, why and what to do).
#include <string>
#include <vector>

#include "device/ftdi_api.h"

namespace tolvane {

struct SurveyedDevice {
  DeviceDescription device;
  bool openable = false;
  LinkProblem problem = LinkProblem::None;
  std::string error;  // empty when openable
};

struct DeviceSurvey {
  FtStatus status = FtOk;  // of the listing itself
  std::vector<SurveyedDevice> devices;
};

// Lists the devices, then opens and closes each to see whether it can be
// used. Never leaves a device open.
DeviceSurvey surveyDevices(FtdiApi& api);

}  // namespace tolvane
