// The registry layer against Wine's real registry, in a test key of its own
// (HKCU\Software\WardhavenTest, and the same path under HKLM for the root
// switch), removed before and after every test.
#include <gtest/gtest.h>

#include "runtime/exception.h"
#include "system/registry.h"
#include "tests/wine/registry_probe.h"

namespace {

const char testKey[] = "Software\\WardhavenTest";

class RegistryLayer : public testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        DeleteKeyTree(HKEY_CURRENT_USER, testKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, testKey);
    }
    static std::string Sub(const std::string& rest) { return std::string(testKey) + "\\" + rest; }
};

// Runs `body` and returns the message of the ERegistryException it raised ("" when none).
template <class Body>
std::string RegistryError(Body body) {
    try {
        body();
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.ClassName(), "ERegistryException");
        return e.Message();
    }
    return std::string();
}

}  // namespace

TEST_F(RegistryLayer, WriteEntryCreatesAMissingSectionAndOnlyWritesIntoAnExistingOne) {
    TRegIniFile ini(testKey);
    HKEY before = ini.CurrentKey();
    ini.WriteEntry("Section", "Name", "first");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Sub("Section"), "Name"), (RegValue{REG_SZ, std::string("first\0", 6)}));

    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "Other", REG_SZ, std::string("kept\0", 5)));
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section\\Child"), "Deep", REG_SZ, std::string("deep\0", 5)));
    ini.WriteEntry("Section", "Name", "second");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Sub("Section"), "Name").data, std::string("second\0", 7));
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Sub("Section"), "Other").data, std::string("kept\0", 5));
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Sub("Section\\Child"), "Deep").data, std::string("deep\0", 5));
    EXPECT_EQ(ini.CurrentKey(), before) << "the open key is put back after the write";
    EXPECT_EQ(ini.CurrentPath(), testKey);
}

TEST_F(RegistryLayer, ReadEntryGivesTheDefaultOnlyForWhatIsMissing) {
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "Text", REG_SZ, std::string("hello\0", 6)));
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "Empty", REG_SZ, std::string("\0", 1)));
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "NoBytes", REG_SZ, std::string()));
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "Expand", REG_EXPAND_SZ,
                              std::string("%WINDIR%\\x\0", 11)));
    TRegIniFile ini(testKey);
    EXPECT_EQ(ini.ReadEntry("Section", "Text", "dflt"), "hello");
    EXPECT_EQ(ini.ReadEntry("Missing", "Text", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadEntry("Section", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadEntry("Section", "Empty", "dflt"), "");
    EXPECT_EQ(ini.ReadEntry("Section", "NoBytes", "dflt"), "");
    EXPECT_EQ(ini.ReadEntry("Section", "Expand", "dflt"), "%WINDIR%\\x") << "taken as stored, not expanded";
}

TEST_F(RegistryLayer, StringWithAZeroInsideIsCutThere) {
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "Two", REG_SZ, std::string("abc\0def\0", 8)));
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "Unended", REG_SZ, "xyz"));
    TRegIniFile ini(testKey);
    EXPECT_EQ(ini.ReadEntry("Section", "Two", ""), "abc");
    EXPECT_EQ(ini.ReadEntry("Section", "Unended", ""), "xyz") << "no zero stored: nothing read beyond the data";
}

TEST_F(RegistryLayer, NonStringValuesRaiseInvalidDataType) {
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "Count", REG_DWORD, std::string("\x07\0\0\0", 4)));
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "Blob", REG_BINARY, "ab"));
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, Sub("Section"), "List", REG_MULTI_SZ, std::string("a\0b\0\0", 5)));
    TRegIniFile ini(testKey);
    HKEY before = ini.CurrentKey();
    EXPECT_EQ(RegistryError([&] { ini.ReadEntry("Section", "Count", "d"); }), "Invalid data type for 'Count'");
    EXPECT_EQ(RegistryError([&] { ini.ReadEntry("Section", "Blob", "d"); }), "Invalid data type for 'Blob'");
    EXPECT_EQ(RegistryError([&] { ini.ReadEntry("Section", "List", "d"); }), "Invalid data type for 'List'");
    EXPECT_EQ(ini.CurrentKey(), before) << "the open key is put back after an error too";
    EXPECT_EQ(ini.ReadEntry("Section", "Missing", "d"), "d") << "still usable";
}

TEST_F(RegistryLayer, FailedCreateAndWriteRaiseTheirMessages) {
    // A volatile key takes no lasting children: Wine refuses the creation.
    HKEY volatileKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Sub("Volatile").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(volatileKey);
    TRegIniFile ini(testKey);
    EXPECT_EQ(RegistryError([&] { ini.MakeKey("Volatile\\Lasting"); }), "Failed to create key Volatile\\Lasting");
    EXPECT_EQ(RegistryError([&] { ini.WriteEntry("Volatile\\Lasting", "Name", "x"); }),
              "Failed to create key Volatile\\Lasting");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub("Volatile\\Lasting")));

    // The message names the path as the caller gave it, backslash included.
    TRegistry bogusRoot;
    bogusRoot.SelectRoot(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x12345678)));
    EXPECT_EQ(RegistryError([&] { bogusRoot.MakeKey("\\Software\\X"); }), "Failed to create key \\Software\\X");
    EXPECT_FALSE(bogusRoot.OpenPath("Software", true)) << "OpenPath reports by its result only";

    TRegistry noKey;
    EXPECT_EQ(RegistryError([&] { noKey.PutString("Name", "x"); }), "Failed to set data for 'Name'");
}

TEST_F(RegistryLayer, ConstructionLeavesThePathUnderCurrentUserAfterTheRootSwitch) {
    const std::string path = Sub("Ini");
    TRegIniFile ini(path);
    EXPECT_EQ(ini.CurrentPath(), path);
    ini.SelectRoot(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ini.CurrentKey(), nullptr);
    EXPECT_EQ(ini.CurrentPath(), "");
    EXPECT_EQ(ini.IniPath(), path);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path));

    ASSERT_TRUE(ini.OpenPath(path, true));
    ini.WriteEntry("Section", "Name", "machine");
    EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, path + "\\Section", "Name").data, std::string("machine\0", 8));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path + "\\Section"));
}

TEST_F(RegistryLayer, SelectingTheSameRootKeepsTheOpenKey) {
    TRegIniFile ini(testKey);
    HKEY open = ini.CurrentKey();
    ASSERT_NE(open, nullptr);
    ini.SelectRoot(HKEY_CURRENT_USER);
    EXPECT_EQ(ini.CurrentKey(), open);
    EXPECT_EQ(ini.CurrentPath(), testKey);
}

TEST_F(RegistryLayer, OpenPathTakesRelativePathsBelowTheOpenKeyAndAbsoluteOnesBelowTheRoot) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenPath(testKey, true));
    EXPECT_EQ(reg.CurrentPath(), testKey);

    ASSERT_TRUE(reg.OpenPath("A", true));
    EXPECT_EQ(reg.CurrentPath(), Sub("A"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub("A")));

    ASSERT_TRUE(reg.OpenPath("\\" + Sub("B"), true));
    EXPECT_EQ(reg.CurrentPath(), Sub("B")) << "the leading backslash is not kept";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub("B")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub("A\\") + testKey)) << "absolute: not below the open key";

    HKEY b = reg.CurrentKey();
    EXPECT_FALSE(reg.OpenPath("Missing", false));
    EXPECT_EQ(reg.CurrentKey(), b) << "a failed open changes nothing";
    EXPECT_EQ(reg.CurrentPath(), Sub("B"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub("B\\Missing")));

    // MakeKey and OpenSubkey follow the same rule and leave the open key alone.
    EXPECT_TRUE(reg.MakeKey("C"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub("B\\C")));
    EXPECT_TRUE(reg.MakeKey("\\" + Sub("D")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub("D")));
    EXPECT_EQ(reg.CurrentKey(), b);
    EXPECT_EQ(reg.OpenSubkey("Missing"), nullptr);
    HKEY c = reg.OpenSubkey("C");
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c, b);
    RegCloseKey(c);

    reg.ReleaseKey();
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    EXPECT_EQ(reg.CurrentPath(), "");
    ASSERT_TRUE(reg.OpenPath(Sub("B"), false)) << "relative with no open key: below the root";
    EXPECT_EQ(reg.CurrentPath(), Sub("B"));
}

TEST_F(RegistryLayer, PutStringStoresTheTextWithItsZero) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenPath(testKey, true));
    const std::string text = "C:\\Program Files\\Wardhaven\\UnInstal.Exe";
    reg.PutString("Path", text);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, testKey, "Path"), (RegValue{REG_SZ, text + '\0'}));
    EXPECT_TRUE(reg.HasValue("Path"));
    EXPECT_FALSE(reg.HasValue("Other"));
    EXPECT_EQ(reg.GetString("Path"), "C:\\Program Files\\Wardhaven\\UnInstal.Exe");
    EXPECT_EQ(reg.GetString("Other"), "");
}
