// A product-like corpus for the benchmarks: executables, bitmaps and text,
// about 4 MB, the same on every run on the same system.
#pragma once

#include <cstdint>
#include <vector>

std::vector<uint8_t> ProductCorpus();
