// The engine's file-facing pieces on their own, under Wine: the package
// table loader, and the decoder's reader and writer at their edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/archive_io.h"
#include "engine/package_table.h"
#include "lzh/lzh_decoder.h"
#include "runtime/exception.h"
#include "state/context.h"
#include "tests/string_print.h"
#include "tests/wine/driver.h"

namespace {

std::string Record(const std::string& name, int32_t offset, int32_t size, const std::string& leftovers = "") {
    std::string r(28, '\0');
    r[0] = static_cast<char>(name.size());
    std::string area = name + leftovers;
    std::memcpy(&r[1], area.data(), area.size() < 19 ? area.size() : 19);
    std::memcpy(&r[20], &offset, 4);
    std::memcpy(&r[24], &size, 4);
    return r;
}

std::string Trailer(int count, int32_t decoded) {
    std::string t(5, '\0');
    t[0] = static_cast<char>(count);
    std::memcpy(&t[1], &decoded, 4);
    return t;
}

// `size` (512 or more) bytes of a Windows executable whose one section ends where the table begins.
std::string Executable(size_t size) {
    std::string exe(0x200, '\0');
    for (auto f : {std::pair<int, uint32_t>{0, 0x5A4D}, {0x3C, 0x40}, {0x40, 0x4550}, {0x46, 1}, {0x54, 0xE0},
                   {0x58, 0x10B}, {0x94, 0x200}, {0xB4, 16}, {0x148, uint32_t(size) - 0x200}, {0x14C, 0x200}})
        std::memcpy(&exe[f.first], &f.second, 4);
    return exe + std::string(size - 0x200, 'x');
}

class TableLoader : public testing::Test {
protected:
    void SetUp() override { path_ = ScratchDir("TableLoader") + "\\installer.bin"; }
    void TearDown() override { ReleasePackageTable(); }
    void Write(const std::string& body) { ASSERT_TRUE(WriteFileText(path_, body)); }
    std::vector<PackageEntry> Entries() {
        std::vector<PackageEntry> all;
        for (PackageEntry* e = ctx.packageHead; e; e = e->next) all.push_back(*e);
        return all;
    }
    std::string Refusal() {
        try {
            LoadPackageTableFrom(path_.c_str());
        } catch (const EInOutError& e) {
            return e.Message();
        }
        return "(no error)";
    }
    std::string path_;
};

TEST_F(TableLoader, ReadsTheWorkedExample) {
    // 100,000 bytes, 3 entries: the records begin at 99,911.
    std::string table = Record("A.Dll", 40000, 1000) + Record("B.Hlp", 41000, 2500) + Record("C.Dat", 43500, 500);
    Write(Executable(100000 - 89) + table + Trailer(3, 44000));
    LoadPackageTableFrom(path_.c_str());
    EXPECT_EQ(ctx.unpackedSize, 44000);
    std::vector<PackageEntry> e = Entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name, "A.Dll");
    EXPECT_EQ(e[1].offset, 41000);
    EXPECT_EQ(e[1].size, 2500);
    EXPECT_EQ(e[2].name, "C.Dat");
    EXPECT_EQ(ctx.packageTail, ctx.packageHead->next->next);
    ReleasePackageTable();
    EXPECT_EQ(ctx.packageHead, nullptr);
    EXPECT_EQ(ctx.packageTail, nullptr);
}

TEST_F(TableLoader, NamesAreTheirCountedCharactersOnly) {
    std::string longest = "ABCDEFGHIJKLMNO.PQR";  // 19 characters
    Write(Executable(512) + Record("A.Dll", 100, 10, "LEFTOVER.XYZ") + Record(longest, 110, 5) +
          Trailer(2, 115));
    LoadPackageTableFrom(path_.c_str());
    std::vector<PackageEntry> e = Entries();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].name, "A.Dll");
    EXPECT_EQ(e[1].name, longest);
}

TEST_F(TableLoader, NoEntriesStillReadsTheLength) {
    Write(Executable(512) + Trailer(0, 12345));
    LoadPackageTableFrom(path_.c_str());
    EXPECT_EQ(ctx.unpackedSize, 12345);
    EXPECT_EQ(ctx.packageHead, nullptr);
}

TEST_F(TableLoader, TwoHundredFiftyFiveEntriesBegin7145BytesFromTheEnd) {
    std::string table;
    for (int i = 0; i < 255; ++i) table += Record("F" + std::to_string(i) + ".Dat", 1000 + i * 10, 10);
    Write(Executable(9000) + table + Trailer(255, 1000 + 2550));
    ASSERT_EQ(table.size() + 5, 7145u);
    LoadPackageTableFrom(path_.c_str());
    std::vector<PackageEntry> e = Entries();
    ASSERT_EQ(e.size(), 255u);
    EXPECT_EQ(e[0].name, "F0.Dat");
    EXPECT_EQ(e[254].offset, 1000 + 2540);
}

TEST_F(TableLoader, CountLargerThanTheFileIsAnIoError) {
    Write(Executable(512) + Trailer(200, 100));
    EXPECT_NE(Refusal().find("Seek before start of file"), std::string::npos);
}

TEST_F(TableLoader, FileTooShortForTheTrailerIsAnIoError) {
    Write(Executable(512) + "abc");
    EXPECT_NE(Refusal().find("Seek before start of file"), std::string::npos);
}

TEST_F(TableLoader, UnsafeTablesAreRefusedWithTheirFault) {
    Write(std::string(400, 'x') + Trailer(0, 5));
    EXPECT_NE(Refusal().find("the executable's headers are damaged"), std::string::npos) << "not an executable";
    const std::string body = Executable(512);
    Write(body + Record("..\\Up.Dll", 100, 10) + Trailer(1, 110));
    EXPECT_NE(Refusal().find("entry 1 (..\\Up.Dll): name has a directory part"), std::string::npos);
    Write(body + std::string(1, char(30)) + Record("A.Dll", 100, 10).substr(1) + Trailer(1, 110));
    EXPECT_NE(Refusal().find("entry 1: name length 30, at most 19"), std::string::npos);
    Write(body + Record("A.Dll", 100, 10) + Record("B.Dll", 105, 10) + Trailer(2, 115));
    EXPECT_NE(Refusal().find("entry 2 (B.Dll): offset 105, expected 110"), std::string::npos);
    Write(body + Record("A.Dll", 100, 10) + Trailer(1, 105));
    EXPECT_NE(Refusal().find("decoded length 105, expected 110"), std::string::npos);
}

// The reader and the writer over real files, outside any page.
class ReaderWriter : public testing::Test {
protected:
    void SetUp() override {
        dir_ = ScratchDir("ReaderWriter");
        ctx.installDir = dir_.c_str();
        if (!ctx.bufferA) ctx.bufferA = new uint8_t[2064];
        if (!ctx.bufferB) ctx.bufferB = new uint8_t[2064];
        ctx.readPos = 1;
        ctx.readCount = 0;
        ctx.writePos = 1;
        ctx.bytesWritten = 0;
        ctx.unpackedSize = 100000;
        keepRunning = 1;
    }
    void TearDown() override {
        for (HANDLE h : {ctx.archiveHandle, ctx.outputHandle})
            if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
        ctx.archiveHandle = ctx.outputHandle = nullptr;
    }
    HANDLE Open(const std::string& name, DWORD access, DWORD disposition) {
        return CreateFileA((dir_ + "\\" + name).c_str(), access, FILE_SHARE_READ, nullptr, disposition, 0, nullptr);
    }
    std::string dir_;
};

TEST_F(ReaderWriter, ReaderDeliversEveryByteAcrossRefillsThenNothing) {
    std::string content = std::string(3000, 'a') + "xyz";
    ASSERT_TRUE(WriteFileText(dir_ + "\\Wardhaven._ZX", content));
    ctx.archiveHandle = Open("Wardhaven._ZX", GENERIC_READ, OPEN_EXISTING);
    std::string got;
    for (size_t i = 0; i < content.size(); ++i) {
        char c = 0;
        uint16_t n = 0;
        ArchiveReader(&c, 1, n);
        ASSERT_EQ(n, 1) << i;
        got += c;
    }
    EXPECT_EQ(got, content);
    for (int i = 0; i < 3; ++i) {
        char c = 0;
        uint16_t n = 9;
        ArchiveReader(&c, 1, n);
        EXPECT_EQ(n, 0);
    }
}

TEST_F(ReaderWriter, ReaderStopsWhenCancelled) {
    ASSERT_TRUE(WriteFileText(dir_ + "\\Wardhaven._ZX", "abc"));
    ctx.archiveHandle = Open("Wardhaven._ZX", GENERIC_READ, OPEN_EXISTING);
    keepRunning = 0;
    char c = 0;
    uint16_t n = 9;
    ArchiveReader(&c, 1, n);
    EXPECT_EQ(n, 0);
}

TEST_F(ReaderWriter, FailedArchiveReadIsReported) {
    ASSERT_TRUE(WriteFileText(dir_ + "\\Wardhaven._ZX", "abc"));
    ctx.archiveHandle = Open("Wardhaven._ZX", GENERIC_WRITE, OPEN_EXISTING);  // cannot be read
    char c = 0;
    uint16_t n = 0;
    try {
        ArchiveReader(&c, 1, n);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(e.Message().find("Wardhaven._ZX"), std::string::npos) << e.Message();
    }
}

TEST_F(ReaderWriter, WriterWritesFullBlocksThenTheRestOnFlush) {
    ctx.outputHandle = Open("Out.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    std::string data(5000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    for (size_t i = 0; i < 2048; ++i) {
        uint16_t put = 0;
        OutputWriter(&data[i], 1, put);
        ASSERT_EQ(put, 1);
    }
    EXPECT_EQ(GetFileSize(ctx.outputHandle, nullptr), 0u) << "2048 bytes wait in the buffer";
    for (size_t i = 2048; i < data.size(); ++i) {
        uint16_t put = 0;
        OutputWriter(&data[i], 1, put);
    }
    EXPECT_EQ(ctx.bytesWritten, 4096);
    uint16_t put = 77;
    OutputWriter(nullptr, 0, put);
    EXPECT_EQ(ctx.bytesWritten, 4096) << "the flush is not counted";
    CloseHandle(ctx.outputHandle);
    ctx.outputHandle = nullptr;
    EXPECT_TRUE(ReadFileText(dir_ + "\\Out.bin") == data);
}

TEST_F(ReaderWriter, FirstBlockUnderHalfAPercentPaintsNothingUntilOnePercent) {
    // A grey surface stands in for the page; the bar is 1001 pixels wide.
    const int width = 1010, height = 12;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP surface = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, surface);
    uint32_t* px = static_cast<uint32_t*>(bits);
    std::fill(px, px + width * height, 0x808080u);
    ctx.unpackDC = dc;
    ctx.barLeft = ctx.barTop = 0;
    ctx.barRight = 1000;
    ctx.barBottom = 10;
    ctx.barSpan = 1001;
    ctx.textX = 2000;  // the percentage falls outside the surface
    ctx.textY = 0;
    ctx.redPen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    ctx.whitePen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    ctx.redBrush = CreateSolidBrush(RGB(255, 0, 0));
    ctx.whiteBrush = CreateSolidBrush(RGB(255, 255, 255));
    ctx.shownPercent = 0;       // as a joining page of under 0.5 % leaves it
    ctx.unpackedSize = 500000;  // one block is 0.41 %, two are 0.82 %
    ctx.outputHandle = Open("Out.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    auto decoded = [](int n) {
        for (char c = 'x'; n > 0; --n) {
            uint16_t put = 0;
            OutputWriter(&c, 1, put);
        }
    };
    decoded(2049);
    EXPECT_EQ(ctx.bytesWritten, 2048);
    EXPECT_EQ(ctx.percent, 0);
    EXPECT_EQ(ctx.shownPercent, 0);
    EXPECT_EQ(std::count(px, px + width * height, 0x808080u), width * height) << "nothing painted";
    decoded(2048);
    EXPECT_EQ(ctx.shownPercent, 1);
    EXPECT_EQ(px[5 * width + 7], 0xFF0000u) << "red up to 8 of 1001 pixels";
    EXPECT_EQ(px[5 * width + 8], 0xFFFFFFu);
    EXPECT_EQ(px[5 * width + 999], 0xFFFFFFu);
    SelectObject(dc, old);
    for (HGDIOBJ o : {HGDIOBJ(surface), HGDIOBJ(ctx.redPen), HGDIOBJ(ctx.whitePen), HGDIOBJ(ctx.redBrush),
                      HGDIOBJ(ctx.whiteBrush)})
        DeleteObject(o);
    DeleteDC(dc);
    ctx.unpackDC = nullptr;
}

TEST_F(ReaderWriter, FailedOutputWriteIsReported) {
    ASSERT_TRUE(WriteFileText(dir_ + "\\Out.bin", ""));
    ctx.outputHandle = Open("Out.bin", GENERIC_READ, OPEN_EXISTING);  // cannot be written
    product.mainExecutable = "Out.bin";
    uint16_t put = 0;
    char c = 'x';
    OutputWriter(&c, 1, put);
    try {
        OutputWriter(nullptr, 0, put);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(e.Message().find("Out.bin"), std::string::npos) << e.Message();
    }
    product.mainExecutable = "Wardhavn.Exe";
}

}  // namespace
