// The arithmetic of the progress bar, of the joined count and of the archive's
// end, kept apart from the drawing and the files so that both builds can test it.
#pragma once

#include <cstdint>

// Nearest integer, halves to the even neighbour; clamped to the 32-bit range
// (a first volume far beyond the expected size must not overflow). Every
// value in that range and its fraction are exact in a double.
inline int32_t RoundHalfEven(double value) {
    if (!(value > -2147483648.0)) return INT32_MIN;  // NaN lands here too
    if (value > 2147483647.0) return INT32_MAX;
    int64_t floor = static_cast<int64_t>(value);  // toward zero...
    if (static_cast<double>(floor) > value) --floor;  // ...then down
    double fraction = value - static_cast<double>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && (floor & 1) != 0)) ++floor;
    return floor > INT32_MAX ? INT32_MAX : static_cast<int32_t>(floor);
}

// Whether `more` bytes can join the `joined` ones (0 or more) without passing
// 2,147,483,647: the joined count is signed 32-bit, like every size the
// installer keeps.
inline bool JoinedCountHolds(int32_t joined, uint32_t more) {
    return more <= static_cast<uint32_t>(INT32_MAX - joined);
}

struct ProgressPoint {
    int32_t fillX;    // where the red part ends
    int32_t percent;
};

// done / total of a bar starting at barLeft and barSpan pixels wide. A total
// of 0 or less (an empty stream) counts as complete. Past 100 % the percentage
// goes on but the fill stays at the bar's end: the 95 family's GDI takes 16-bit
// coordinates, and a far fill would wrap round to the left.
inline ProgressPoint ProgressAt(int32_t done, int32_t total, int32_t barLeft, int32_t barSpan) {
    double fraction = total > 0 ? static_cast<double>(done) / total : 1.0;
    int64_t fill = RoundHalfEven(fraction * barSpan);
    fill = fill > barSpan ? barSpan : fill < 0 ? 0 : fill;
    ProgressPoint p;
    p.fillX = static_cast<int32_t>(barLeft + fill);
    p.percent = RoundHalfEven(fraction * 100);
    return p;
}

struct Edges {
    int32_t left, top, right, bottom;
};

struct BarGeometry {
    int32_t barLeft, barTop, barRight, barBottom;
    int32_t textX, textY;
    int32_t barSpan;
};

// The bar inside the frame control, in the page's client coordinates, from
// both window rectangles in screen coordinates and the border and caption
// metrics. The 4 pixels keep the bar inside the frame's black edge.
inline BarGeometry BarInFrame(const Edges& frame, const Edges& page, int32_t borderX, int32_t borderY,
                              int32_t caption) {
    BarGeometry g;
    g.barLeft = frame.left - page.left - borderX;
    g.barTop = frame.top - page.top - caption - borderY;
    g.barRight = frame.right - page.left - borderX - 4;
    g.barBottom = frame.bottom - page.top - caption - borderY - 4;
    g.textX = g.barLeft + (g.barRight - g.barLeft) / 2 - 10;
    g.textY = g.barTop + (g.barBottom - g.barTop) / 2 - 8;
    g.barSpan = g.barRight - g.barLeft + 1;
    return g;
}
