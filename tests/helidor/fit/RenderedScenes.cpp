// SPDX-License-Identifier: GPL-3.0-or-later
#include "RenderedScenes.h"

namespace FitTesting {

Rendered FromWords(const std::vector<std::uint32_t>& words, int width, int height)
{
    Rendered rendered;
    GreyPlane::FromWords(words.data(), width, height, rendered.Plane);
    return rendered;
}

Rendered Render(const LimbScenes::Scene& scene)
{
    std::vector<std::uint32_t> words;
    LimbScenes::Render(scene, words);
    return FromWords(words, scene.Width, scene.Height);
}

Rendered Render(const TransitScenes::Scene& scene)
{
    std::vector<std::uint32_t> words;
    TransitScenes::Render(scene, words);
    return FromWords(words, scene.Width, scene.Height);
}

} // namespace FitTesting
