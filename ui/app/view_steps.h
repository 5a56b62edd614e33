#pragma once
// The main window's steps on the view: zoom steps on the (factor, reduce)
// pair, gamma steps, and the name bar's text.

#include <string>
#include <string_view>

// The view magnifies factor times, or reduces to 1 / factor when reduce is set.
struct ZoomPair {
    int factor = 1;
    bool reduce = false;
    bool operator==(const ZoomPair&) const = default;
};

// One step in: ... 1/3, 1/2, 1, 2, 3 ... No bound here; the view limits it.
ZoomPair ZoomIn(ZoomPair zoom);
// One step out: ... 3, 2, 1, 1/2, 1/3 ...
ZoomPair ZoomOut(ZoomPair zoom);

// Gamma g < 0 means no correction; the steps start from 1.0 then.
constexpr double kGammaIncreaseFactor = 0.9433962264150942;  // 1 / 1.06
constexpr double kGammaDecreaseFactor = 1.06;
constexpr double kGammaFloor = 0.01;
constexpr double kGammaCeiling = 5.0;
constexpr double kGammaOff = -1.0;
double IncreaseGamma(double gamma);
double DecreaseGamma(double gamma);

// A file name without its extension: cut at the last "." unless that dot is
// the first character (a.b.jpg gives a.b, .jpg stays .jpg).
std::string NameWithoutExtension(std::string_view name);
