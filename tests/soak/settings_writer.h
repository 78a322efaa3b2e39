// The touch driver's settings as the soak writes them: whole or partial
// tables of one fixed mapping (so every table the driver can hold maps a raw
// coordinate to a known value or to 0), and broken values of every kind the
// driver must refuse or survive.
#pragma once

#include "tests/soak/event.h"

#include "platform/registry/store.h"

#include <cstdint>

namespace soak {

// The soak's calibration: raw index to absolute coordinate, per axis.
uint16_t TableX(uint16_t index);
uint16_t TableY(uint16_t index);

// The four values in the global settings key; the tables' first `entries`
// entries only when below 5000.
void WriteSettings(platform::registry::Store& registry, uint16_t doneMode, uint16_t moveSlider,
                   uint16_t entries);
void WriteBroken(platform::registry::Store& registry, BrokenSetting which);

} // namespace soak
