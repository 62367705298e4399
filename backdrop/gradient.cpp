#include "backdrop/gradient.h"

#include <cstdlib>

#include "setup/helpers.h"

int GradientSteps(Rgb from, Rgb to) {
    int d = std::abs(from.r - to.r);
    if (std::abs(from.g - to.g) > d) d = std::abs(from.g - to.g);
    if (std::abs(from.b - to.b) > d) d = std::abs(from.b - to.b);
    return d;
}

namespace {

uint8_t stepChannel(uint8_t c, uint8_t target) {
    // Clamped between the two, so a channel never overshoots its target.
    if (c < target) return ByteMin(static_cast<uint8_t>(c + 1), target);
    if (c > target) return ByteMax(static_cast<uint8_t>(c - 1), target);
    return c;
}

}  // namespace

Rgb StepToward(Rgb current, Rgb target) {
    return {stepChannel(current.r, target.r), stepChannel(current.g, target.g), stepChannel(current.b, target.b)};
}

int Luminance(Rgb c) {
    // In hundredths, so that a half is exact and rounds to the even neighbour.
    int v = 30 * c.r + 59 * c.g + 11 * c.b;
    int q = v / 100, rem = v % 100;
    if (rem > 50 || (rem == 50 && q % 2 == 1)) ++q;
    return q;
}

Rgb ShadowFor(Rgb title) {
    return Luminance(title) < 128 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
}
