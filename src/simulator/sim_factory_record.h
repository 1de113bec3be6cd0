// The factory information record a configured camera leaves the factory with.
#pragma once

#include "camera_records/factory_info.h"
#include "simulator/sim_driver.h"

namespace kestrom::sim {

FactoryInfo factoryRecordFor(const CameraConfig& config);

}  // namespace kestrom::sim
