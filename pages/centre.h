// Where a page goes so that it sits in the middle of the screen.
#pragma once

// screen div 2 - extent div 2, each truncated toward zero: a page larger than
// the screen gets a negative coordinate and is placed there as computed.
inline int CentredOffset(int screen, int extent) { return screen / 2 - extent / 2; }
