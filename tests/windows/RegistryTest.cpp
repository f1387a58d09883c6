// The registry store and the Cygwin mount lookup against a real registry
// (Windows, or wine's).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/NativePath.h"
#include "settings/RegistrySettingsBackend.h"

namespace lanscope {
namespace {

constexpr const char* kRoot = "SOFTWARE\\Tessmar\\AutoUpdate\\";
constexpr const char* kSettings = "SOFTWARE\\Tessmar\\AutoUpdate\\Settings";

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void SetRaw(const char* name, DWORD type, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

struct Raw {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

Raw GetRaw(const char* name) {
    Raw raw;
    raw.data.resize(512);
    DWORD size = static_cast<DWORD>(raw.data.size());
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kSettings, name, RRF_RT_ANY | RRF_NOEXPAND, &raw.type,
                     raw.data.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    raw.data.resize(size);
    return raw;
}

class Registry : public testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessmar"); }
    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessmar"); }

    RegistrySettingsBackend backend;
    SettingsStore store{backend};
};

TEST_F(Registry, AFreshWorkstationReadsDefaultsAndReadingNeverCreatesTheSubkey) {
    EXPECT_EQ(store.LoadIPAddr(), 0u);
    EXPECT_EQ(store.LoadFileDir(), "");
    EXPECT_EQ(store.LoadPresetsFile(), "");
    EXPECT_EQ(store.LoadSetting("AlwaysOnTop_Lanscope"), 0u);
    EXPECT_TRUE(KeyExists(kRoot));
    EXPECT_FALSE(KeyExists(kSettings));
}

TEST_F(Registry, ValuesAreStoredWithTheirNamesAndTypes) {
    store.SaveIPAddr(0xC0A8010A);  // 192.168.1.10
    store.SaveFileDir("C:\\firmware\\pump_APP.s19");
    store.SavePresetsFile("D:\\hall.prs");
    store.SaveSetting("AlwaysOnTop_AutoUpdate", 1);

    const Raw address = GetRaw("IPAddr");
    EXPECT_EQ(address.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(address.data, (std::vector<BYTE>{10, 1, 168, 192}));
    const Raw file = GetRaw("FileDir");
    EXPECT_EQ(file.type, static_cast<DWORD>(REG_SZ));
    const std::string text = "C:\\firmware\\pump_APP.s19";
    std::vector<BYTE> withZero(text.begin(), text.end());
    withZero.push_back(0);
    EXPECT_EQ(file.data, withZero);
    EXPECT_EQ(GetRaw("AlwaysOnTop_AutoUpdate").type, static_cast<DWORD>(REG_DWORD));

    RegistrySettingsBackend again;
    SettingsStore reread(again);
    EXPECT_EQ(reread.LoadIPAddr(), 0xC0A8010Au);
    EXPECT_EQ(reread.LoadFileDir(), text);
    EXPECT_EQ(reread.LoadPresetsFile(), "D:\\hall.prs");
    EXPECT_EQ(reread.LoadSetting("AlwaysOnTop_AutoUpdate"), 1u);
}

TEST_F(Registry, OddDataReadsAsTheStoreAlwaysHasReadIt) {
    // A string without its terminating zero is read whole; one with a zero
    // inside up to the zero.
    SetRaw("FileDir", REG_SZ, {'a', 'b', 'c'});
    SetRaw("PresetsFile", REG_SZ, {'x', 0, 'y', 0});
    EXPECT_EQ(store.LoadFileDir(), "abc");
    EXPECT_EQ(store.LoadPresetsFile(), "x");
    // A number of the wrong type: longer than four bytes gives the default,
    // shorter is read as far as it goes.
    SetRaw("IPAddr", REG_SZ, {'1', '9', '2', '.', '1', 0});
    EXPECT_EQ(store.LoadIPAddr(), 0u);
    SetRaw("AlwaysOnTop_Lanscope", REG_BINARY, {1});
    EXPECT_EQ(store.LoadSetting("AlwaysOnTop_Lanscope"), 1u);
    // A string setting stored as a number reads as its bytes.
    SetRaw("FileDir", REG_DWORD, {'Z', 0, 0, 0});
    EXPECT_EQ(store.LoadFileDir(), "Z");
}

TEST_F(Registry, ReadsWhatRegAddWrote) {
    // The system's own tool, as a technician or an installer would use it.
    ASSERT_EQ(std::system("reg add \"HKLM\\SOFTWARE\\Tessmar\\AutoUpdate\\Settings\" /v IPAddr "
                          "/t REG_DWORD /d 3232235786 /f >NUL"),
              0);
    ASSERT_EQ(std::system("reg add \"HKLM\\SOFTWARE\\Tessmar\\AutoUpdate\\Settings\" /v FileDir "
                          "/t REG_SZ /d \"C:\\fw\\a_APP.s19\" /f >NUL"),
              0);
    EXPECT_EQ(store.LoadIPAddr(), 0xC0A8010Au);
    EXPECT_EQ(store.LoadFileDir(), "C:\\fw\\a_APP.s19");
}

TEST(NativePath, FollowsTheCygwinMountTable) {
    const char* mount = "SOFTWARE\\Cygnus Solutions\\Cygwin\\mounts v2\\/ferrox";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Cygnus Solutions");
    EXPECT_EQ(NativePath("/ferrox/images/a.s19"), "/ferrox/images/a.s19");
    EXPECT_EQ(NativePath("/cygdrive/c/fw/a.s19"), "c:\\fw\\a.s19");

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, mount, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const char native[] = "d:/tools/ferrox";
    RegSetValueExA(key, "native", 0, REG_SZ, reinterpret_cast<const BYTE*>(native), sizeof native);
    RegCloseKey(key);
    EXPECT_EQ(NativePath("/ferrox/images/a.s19"), "d:\\tools\\ferrox\\images\\a.s19");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Cygnus Solutions");
}

}  // namespace
}  // namespace lanscope
