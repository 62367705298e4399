#include "tests/wine/engine_scenario.h"

#include <cctype>

namespace {

std::string UpperExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

ProductFiles SmallProduct() {
    return {
        {"Wardhavn.Exe", NoiseBytes(9000, 1)}, {"Tools.Dll", NoiseBytes(5000, 2)},
        {"Guide.HLP", NoiseBytes(3000, 3)},    {"Empty.Dat", ""},
        {"Two.Dat", NoiseBytes(2048, 5)},      {"Four.Dat", NoiseBytes(4096, 6)},
        {"Shell.LIB", NoiseBytes(1500, 7)},    {"Desktop.DTP", NoiseBytes(700, 8)},
    };
}

std::string PlacedPath(const std::string& installDir, const std::string& name) {
    return (UpperExtension(name) == ".HLP" ? WindowsHelpDir() : installDir) + "\\" + name;
}

void ExpectInstalled(const std::string& installDir, const ProductFiles& files,
                     const std::vector<std::string>& except) {
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& name = files[i].name;
        if (std::find(except.begin(), except.end(), name) != except.end()) continue;
        std::string path = i == 0 ? installDir + "\\Wardhavn.Exe" : PlacedPath(installDir, name);
        EXPECT_TRUE(FileExists(path)) << path;
        std::string got = ReadFileText(path);
        EXPECT_TRUE(got == files[i].content) << path << ": " << got.size() << " bytes, want "
                                             << files[i].content.size() << " (or other content)";
    }
}

void RemoveHelpFiles(const ProductFiles& files) {
    for (const ProductFile& f : files)
        if (UpperExtension(f.name) == ".HLP") DeleteFileA((WindowsHelpDir() + "\\" + f.name).c_str());
}

void EngineTest::TearDown() {
    RemoveHelpFiles(product_);
    InstallerTest::TearDown();
}

std::string ReadShared(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string s(GetFileSize(h, nullptr), '\0');
    DWORD n = 0;
    if (!s.empty()) ReadFile(h, &s[0], static_cast<DWORD>(s.size()), &n, nullptr);
    CloseHandle(h);
    s.resize(n);
    return s;
}

uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

static bool SetLength(const std::string& path, uint64_t size, DWORD disposition) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LONG high = static_cast<LONG>(size >> 32);
    SetFilePointer(h, static_cast<LONG>(size), &high, FILE_BEGIN);
    bool ok = SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

bool WriteZeros(const std::string& path, uint64_t size) { return SetLength(path, size, CREATE_ALWAYS); }

bool SetFileLength(const std::string& path, uint64_t length) { return SetLength(path, length, OPEN_EXISTING); }

HeldFile::HeldFile(const std::string& path, DWORD access, DWORD share)
    : handle_(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}

HeldFile::~HeldFile() {
    if (Ok()) CloseHandle(handle_);
}

const char* const joiningLabel = "Installing the Wardhaven! files.";
const char* const unpackingLabel = "Uncompressing the Wardhaven! files.";

