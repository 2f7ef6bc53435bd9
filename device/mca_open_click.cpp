#include "device/mca_open_click.h"

#include "app/session.h"

namespace tolvane {

void McaOpenClick(Session& s) {
  if (s.Acquisition.DeviceCount != 0) {
    OpenDevice(s.api(), s.Link, s.Acquisition, 0);
    return;
  }
  if (OpenDevice(s.api(), s.Link, s.Acquisition, 0)) {
    s.Texts.Edit2 = std::to_string(s.Acquisition.DeviceCount);
    s.RunButtonsEnabled = true;
    s.Acquisition.DeviceOpen = 1;
  } else {
    s.Texts.Edit2 = "Error";
  }
}

void OpenDeviceIfUnlisted(Session& s) {
  if (s.Acquisition.DeviceCount != 0) return;
  if (OpenDevice(s.api(), s.Link, s.Acquisition, 0)) s.Texts.Edit1 = std::to_string(s.Acquisition.DeviceCount);
}

}  // namespace tolvane
