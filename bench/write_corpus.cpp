// Writes the benchmark corpus to a file, for timings of whole processes.
#include <cstdio>

#include "bench/corpus.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_corpus OUT\n");
        return 1;
    }
    std::vector<uint8_t> data = ProductCorpus();
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "%s: write error\n", argv[1]);
    return ok ? 0 : 1;
}
