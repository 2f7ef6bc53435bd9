#include "device/backend_factory.h"

#include "device/d2xx_backend.h"
#include "device/sim/sim_ftdi.h"
#ifdef TOLVANE_HAVE_LIBFTDI
#include "device/libftdi_backend.h"
#endif

namespace tolvane {

std::optional<BackendKind> parseBackendKind(std::string_view text) {
  if (text == "auto") return BackendKind::Auto;
  if (text == "sim") return BackendKind::Sim;
  if (text == "libftdi") return BackendKind::Libftdi;
  if (text == "d2xx") return BackendKind::D2xx;
  return std::nullopt;
}

namespace {

std::unique_ptr<FtdiApi> makeLibftdi(Clock& clock, std::string& error) {
#ifdef TOLVANE_HAVE_LIBFTDI
  return makeLibftdiBackend(clock, error);
#else
  (void)clock;
  error = "libftdi1 support was not built";
  return nullptr;
#endif
}

}  // namespace

std::unique_ptr<FtdiApi> makeBackend(BackendKind kind, Clock& clock, std::string& error) {
  switch (kind) {
    case BackendKind::Sim: {
      auto bridge = std::make_unique<SimFtdi>(clock);
      bridge->attach();
      return bridge;
    }
    case BackendKind::D2xx:
      return loadD2xxBackend(error);
    case BackendKind::Libftdi:
      return makeLibftdi(clock, error);
    case BackendKind::Auto: {
      std::string d2xxError;
      if (auto d2xx = loadD2xxBackend(d2xxError)) return d2xx;
      if (auto libftdi = makeLibftdi(clock, error)) return libftdi;
      error = d2xxError + "; " + error;
      return nullptr;
    }
  }
  return nullptr;
}

}  // namespace tolvane
