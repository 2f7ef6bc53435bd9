#include "device/link_advice.h"

namespace tolvane {

namespace {

std::string nodeOr(const LinkDiagnosis& d, const char* otherwise) { return d.node.empty() ? otherwise : d.node; }

}  // namespace

std::string linkAdvice(const LinkDiagnosis& d) {
  switch (d.problem) {
    case LinkProblem::None:
      return {};
    case LinkProblem::PermissionDenied:
      return "permission denied on " + nodeOr(d, "the analyser's USB device") +
             ": install the udev rule 60-tolvane.rules (cmake --install or the package does) and add "
             "yourself to the plugdev group (sudo usermod -aG plugdev $USER), then log in again and "
             "replug the analyser";
    case LinkProblem::InterfaceBusy:
      return nodeOr(d, "the analyser") +
             " is held by a kernel driver or another program: close any other program using the "
             "analyser, or unload the serial driver (sudo rmmod ftdi_sio), then replug it";
    case LinkProblem::Disconnected:
      return "the analyser was disconnected: plug it in again and press OpenMCA";
    case LinkProblem::LibraryRefused:
      return "the USB library could not open the analyser";
  }
  return {};
}

std::string linkStatusText(const LinkDiagnosis& d) {
  switch (d.problem) {
    case LinkProblem::None:
      return {};
    case LinkProblem::PermissionDenied:
      return "USB access denied: join plugdev, add udev rule";
    case LinkProblem::InterfaceBusy:
      return "Analyser busy: close other users / rmmod ftdi_sio";
    case LinkProblem::Disconnected:
      return "Analyser disconnected";
    case LinkProblem::LibraryRefused:
      return "USB library refused the analyser";
  }
  return {};
}

}  // namespace tolvane
