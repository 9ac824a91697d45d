// SPDX-License-Identifier: GPL-3.0-or-later
// Generated pictures as the fit sees them: the grey plane of the words a
// scene generator drew.
#pragma once

#include "FitTypes.h"
#include "GreyPlane.h"
#include "LimbScenes.h"
#include "TransitScenes.h"

#include <cstdint>
#include <vector>

namespace FitTesting {

struct Rendered {
    GreyPlane::Plane Plane;
    FitTypes::GreyView View() const { return { Plane.Width, Plane.Height, Plane.Samples.data() }; }
};

Rendered FromWords(const std::vector<std::uint32_t>& words, int width, int height);
Rendered Render(const LimbScenes::Scene& scene);
Rendered Render(const TransitScenes::Scene& scene);

} // namespace FitTesting
