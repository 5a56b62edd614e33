#include "app/view_steps.h"

#include <algorithm>

ZoomPair ZoomIn(ZoomPair z)
{
    if (z.reduce)
        return z.factor <= 2 ? ZoomPair {1, false} : ZoomPair {z.factor - 1, true};
    return {z.factor + 1, false};
}

ZoomPair ZoomOut(ZoomPair z)
{
    if (!z.reduce)
        return z.factor <= 1 ? ZoomPair {2, true} : ZoomPair {z.factor - 1, false};
    return {z.factor + 1, true};
}

double IncreaseGamma(double gamma)
{
    const double g = gamma < 0 ? 1.0 : gamma;
    return std::max(g * kGammaIncreaseFactor, kGammaFloor);
}

double DecreaseGamma(double gamma)
{
    const double g = gamma < 0 ? 1.0 : gamma;
    return std::min(g * kGammaDecreaseFactor, kGammaCeiling);
}

std::string NameWithoutExtension(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return std::string(name);
    return std::string(name.substr(0, dot));
}
