// The cursor's read-out: the column and row of the pixel under the cursor, where it lies in
// millimetres, and its value in the units of the results text and in camera counts.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/core/beam_results_text.h"
#include "viewer/core/vasprel_frame.h"

namespace kestrom {

// "Column 70, Row 50 (7.00mm, 5.00mm)  Value 12,000 (6,000.0 counts)"; calibrated, the value is
// an energy density like the peak's ("Value 1.234e-03 W/cm²"). Empty for a position outside the
// frame.
std::string cursorReadoutText(const TVasprelFrame<std::int16_t>& frame, int column, int row,
                              const BeamResultsTextSettings& settings);

}  // namespace kestrom
