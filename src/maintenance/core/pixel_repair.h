// Software repair of listed bad pixels from their good neighbours, as the camera's pixel
// correction would show them.
#pragma once

#include "maintenance/core/bad_pixel_list.h"
#include "maintenance/core/utility_image.h"

namespace kestrom {

// The estimate for one pixel: from the four direct neighbours when all are good (the pair that
// differs less counts more), else the mean of the good ones among the eight, else 0.
std::int16_t repairedValue(const UtilityImage& image, const BadPixelList& list, int x, int y);

// Every listed pixel, in list order. Only good neighbours are read, so the order does not matter.
void repairBadPixels(UtilityImage& image, const BadPixelList& list);

}  // namespace kestrom
