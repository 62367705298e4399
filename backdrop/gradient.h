// The backdrop's colour rule, apart from any drawing so it can be checked alone.
#pragma once

#include <cstdint>

struct Rgb {
    uint8_t r, g, b;
};

// The largest channel distance between the two colours (0..255).
int GradientSteps(Rgb from, Rgb to);

// Each channel one step toward its target, never past it.
Rgb StepToward(Rgb current, Rgb target);

// 0.3 R + 0.59 G + 0.11 B, rounded to the nearest integer, halves to even.
int Luminance(Rgb c);

// White behind a dark title (luminance below 128), black behind a light one.
Rgb ShadowFor(Rgb title);
