// Between the simulated device calls and the engine.
#pragma once

#include <cstdint>

#include "sim/engine.h"

namespace natsim {

bool device_present(Dev dev);
// Serves one command; what the ioctl call returns.
int ioctl_result(Dev dev, uint32_t code, uintptr_t arg);

} // namespace natsim
