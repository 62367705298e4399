#include "backdrop/gradient.h"

#include "runtime/bytes.h"

namespace {

int Distance(uint8_t a, uint8_t b) { return a > b ? a - b : b - a; }

uint8_t StepChannel(uint8_t c, uint8_t target) {
    // Clamped between the two, so a channel never overshoots its target.
    if (c < target) return ByteMin(static_cast<uint8_t>(c + 1), target);
    if (c > target) return ByteMax(static_cast<uint8_t>(c - 1), target);
    return c;
}

}  // namespace

int GradientSteps(Rgb from, Rgb to) {
    int d = Distance(from.r, to.r);
    if (Distance(from.g, to.g) > d) d = Distance(from.g, to.g);
    if (Distance(from.b, to.b) > d) d = Distance(from.b, to.b);
    return d;
}

Rgb StepToward(Rgb current, Rgb target) {
    return {StepChannel(current.r, target.r), StepChannel(current.g, target.g), StepChannel(current.b, target.b)};
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
