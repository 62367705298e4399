#include "bench/corpus.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace {

// Executables the system has (the first 600 KB of each), the benchmark itself first.
void AddExecutables(std::vector<uint8_t>& out, std::size_t budget) {
    const char* candidates[] = {"/proc/self/exe", "/bin/bash", "/usr/bin/gzip", "/usr/bin/cmake", "/usr/bin/ls",
                                "/usr/bin/tar", "/usr/bin/find"};
    std::size_t start = out.size();
    for (const char* path : candidates) {
        std::FILE* f = std::fopen(path, "rb");
        if (!f) continue;
        uint8_t buf[65536];
        std::size_t taken = 0, n;
        while (taken < 600 * 1024 && out.size() - start < budget && (n = std::fread(buf, 1, sizeof buf, f)) > 0) {
            out.insert(out.end(), buf, buf + n);
            taken += n;
        }
        std::fclose(f);
    }
    if (out.size() - start > budget) out.resize(start + budget);
}

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// A 24-bit BMP: gradient sky, filled shapes, a little dithering noise.
void AddBitmap(std::vector<uint8_t>& out, int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    int stride = (width * 3 + 3) & ~3;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + stride * height);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put32(out, 1 | (24 << 16));
    Put32(out, 0);
    Put32(out, stride * height);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    int cx = int(rng() % width), cy = int(rng() % height), radius = 20 + int(rng() % 60);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int r = 40 + y * 150 / height, g = 60 + x * 100 / width, b = 160;
            int dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy < radius * radius) r = 230, g = 200, b = 40;
            if ((x / 32 + y / 32) % 7 == 0) r = g = b = 192;
            if (rng() % 8 == 0) r += int(rng() % 3);
            out.push_back(uint8_t(b));
            out.push_back(uint8_t(g));
            out.push_back(uint8_t(r));
        }
        for (int p = width * 3; p < stride; ++p) out.push_back(0);
    }
}

void AddText(std::vector<uint8_t>& out, std::size_t size, unsigned seed) {
    static const char* words[] = {"the", "Wardhaven", "shell", "replaces", "desktop", "window", "of", "and",
                                  "program", "group", "task", "manager", "to", "a", "menu", "icon", "click",
                                  "right", "button", "choose", "settings", "file", "folder", "open", "with",
                                  "system", "restart", "Windows", "help", "topic", "see", "also"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) {
        s += words[rng() % 32];
        unsigned k = rng() % 12;
        s += k == 0 ? ".\r\n" : k == 1 ? ", " : " ";
    }
    s.resize(size);
    out.insert(out.end(), s.begin(), s.end());
}

}  // namespace

std::vector<uint8_t> ProductCorpus() {
    std::vector<uint8_t> out;
    AddExecutables(out, 1800 * 1024);
    for (unsigned i = 0; i < 6; ++i) AddBitmap(out, 320 + 32 * i, 240, i);
    AddText(out, 900 * 1024, 1);
    return out;
}
