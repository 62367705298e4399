// Decoding speed (the installer's byte procedures and the tool's blocks)
// against gzip -dc on the same data, in the same run, the encoder's two
// parses (size and speed), and the SHA-256 that the installer computes over
// each volume and the decoded stream, in the installer's 2048-byte blocks.
// Figures only; nothing is asserted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "bench/corpus.h"
#include "lzh/lzh_decoder.h"
#include "lzh/lzh_encoder.h"
#include "runtime/sha256.h"
#include "tests/unit/lzh_reference.h"

namespace {

const std::vector<uint8_t>& Corpus() {
    static const std::vector<uint8_t> data = ProductCorpus();
    return data;
}

const std::vector<uint8_t>& Compressed() {
    static const std::vector<uint8_t> stream = LzhEncode(Corpus().data(), Corpus().size());
    return stream;
}

// The installer's call pattern: one byte per call through plain procedures.
const uint8_t* inPos;
const uint8_t* inEnd;
uint8_t* outPos;
uint8_t* outEnd;
void ReadByte(void* buffer, uint16_t, uint16_t& actual) {
    if (inPos < inEnd) {
        *static_cast<uint8_t*>(buffer) = *inPos++;
        actual = 1;
    } else {
        actual = 0;
    }
}
void WriteByte(const void* buffer, uint16_t, uint16_t& actual) {
    if (outPos < outEnd) *outPos++ = *static_cast<const uint8_t*>(buffer);
    actual = 1;
}

void BM_Decode(benchmark::State& state) {
    const auto& stream = Compressed();
    std::vector<uint8_t> out(Corpus().size() + 64);
    for (auto _ : state) {
        inPos = stream.data();
        inEnd = inPos + stream.size();
        outPos = out.data();
        outEnd = outPos + out.size();
        keepRunning = 1;
        decode(int32_t(Corpus().size()), ReadByte, WriteByte);
    }
    if (!std::equal(Corpus().begin(), Corpus().end(), out.begin())) state.SkipWithError("decoded bytes differ");
    state.SetBytesProcessed(int64_t(state.iterations() * Corpus().size()));
    state.counters["corpus_bytes"] = double(Corpus().size());
}

// The packaging tool's path: the stream in memory, decoded into blocks.
void BM_DecodeBlocks(benchmark::State& state) {
    const auto& stream = Compressed();
    std::vector<uint8_t> buffer(4096 + (256 << 10)), out;
    out.reserve(Corpus().size() + 64);
    for (auto _ : state) {
        out.clear();
        keepRunning = 1;
        LzhDecodeBlocks(
            stream.data(), stream.size(), int32_t(Corpus().size()), buffer.data(), buffer.size(),
            [](void* context, const uint8_t* data, std::size_t size) {
                auto& joined = *static_cast<std::vector<uint8_t>*>(context);
                joined.insert(joined.end(), data, data + size);
            },
            &out);
    }
    if (!std::equal(Corpus().begin(), Corpus().end(), out.begin())) state.SkipWithError("decoded bytes differ");
    state.SetBytesProcessed(int64_t(state.iterations() * Corpus().size()));
}

// The format's decoder written out plainly (the test suite's reference).
void BM_DecodePlain(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(reference::Decode(Compressed(), long(Corpus().size())));
    state.SetBytesProcessed(int64_t(state.iterations() * Corpus().size()));
}

void BM_GzipDecompress(benchmark::State& state) {
    char path[] = "/tmp/lzh-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    if (write(fd, Corpus().data(), Corpus().size()) != ssize_t(Corpus().size())) state.SkipWithError("write failed");
    close(fd);
    std::string gz = std::string(path) + ".gz";
    std::string pack = "gzip -6 -c " + std::string(path) + " > " + gz;
    std::string unpack = "gzip -dc " + gz + " > /dev/null";
    if (std::system(pack.c_str()) != 0) state.SkipWithError("gzip is missing");
    for (auto _ : state) {
        if (std::system(unpack.c_str()) != 0) state.SkipWithError("gzip -dc failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations() * Corpus().size()));
    std::remove(path);
    std::remove(gz.c_str());
}

void BM_Encode(benchmark::State& state) {
    LzhEncodeOptions options;
    options.parse = state.range(0) ? LzhParse::optimal : LzhParse::greedy;
    std::size_t size = 0;
    for (auto _ : state) size = LzhEncode(Corpus().data(), Corpus().size(), options).size();
    state.SetBytesProcessed(int64_t(state.iterations() * Corpus().size()));
    state.counters["compressed_bytes"] = double(size);
    state.counters["ratio_pct"] = 100.0 * double(size) / double(Corpus().size());
}

// The sample product as the disk set packs it: the files of sample/files.lst,
// in that order, as one stream, read from the product folder that
// make-diskset.sh writes (LZH_BENCH_PRODUCT names it).
const std::vector<uint8_t>& SampleProduct() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> all;
        const char* folder = std::getenv("LZH_BENCH_PRODUCT");
        std::ifstream list(LZH_BENCH_FILE_LIST);
        if (!folder || !list) return all;
        for (std::string name; std::getline(list, name);) {
            if (name.empty() || name[0] == '#') continue;
            std::ifstream file(std::string(folder) + "/" + name, std::ios::binary);
            if (!file) return std::vector<uint8_t>();
            all.insert(all.end(), std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        return all;
    }();
    return data;
}

void BM_EncodeSampleProduct(benchmark::State& state) {
    const std::vector<uint8_t>& data = SampleProduct();
    if (data.empty()) {
        state.SkipWithError("set LZH_BENCH_PRODUCT to a product folder of scripts/make-diskset.sh");
        return;
    }
    LzhEncodeOptions options;
    options.parse = state.range(0) ? LzhParse::optimal : LzhParse::greedy;
    std::size_t size = 0;
    for (auto _ : state) size = LzhEncode(data.data(), data.size(), options).size();
    state.SetBytesProcessed(int64_t(state.iterations() * data.size()));
    state.counters["compressed_bytes"] = double(size);
    state.counters["ratio_pct"] = 100.0 * double(size) / double(data.size());
    // Both parses' sizes from the encoder as it was before the tree match
    // finder and the margin past each block (6,925,572 input bytes).
    double before = state.range(0) ? 3161677 : 3266404;
    state.counters["before_bytes"] = before;
    state.counters["vs_before_pct"] = 100.0 * (double(size) - before) / before;
}

}  // namespace

BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GzipDecompress)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodePlain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Encode)->Arg(0)->Arg(1)->ArgName("optimal")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_EncodeSampleProduct)->Arg(0)->Arg(1)->ArgName("optimal")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Over the corpus (the decoded stream) and over its compressed form (the volumes joined).
void BM_Sha256(benchmark::State& state) {
    const std::vector<uint8_t>& data = state.range(0) ? Compressed() : Corpus();
    for (auto _ : state) {
        Sha256 s;
        Sha256Start(s);
        for (size_t at = 0; at < data.size(); at += 2048)
            Sha256Update(s, data.data() + at, std::min<size_t>(2048, data.size() - at));
        uint8_t digest[sha256Size];
        Sha256Finish(s, digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_Sha256)->Arg(0)->Arg(1)->ArgName("volumes")->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
