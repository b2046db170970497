// Placeholder until the ETA plan window is built.
#include "etaplan/eta_plan_window.h"

namespace reef::etaplan {

platform::WindowId openEtaPlanWindow(platform::Platform&, EtaPlanWindow&) {
    return {};
}
void handleEtaPlanEvent(platform::Platform&, EtaPlanWindow&, const platform::Event&) {}

} // namespace reef::etaplan
