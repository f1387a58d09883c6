#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "settings/IniSettingsBackend.h"

namespace lanscope {
namespace {

TEST(IniSettings, FreshWorkstationGivesTheDefaults) {
    QTemporaryDir dir;
    IniSettingsBackend backend(dir.path() + "/none/settings.ini");
    SettingsStore store(backend);
    EXPECT_EQ(store.LoadIPAddr(), 0u);
    EXPECT_EQ(store.LoadFileDir(), "");
    EXPECT_EQ(store.LoadPresetsFile(), "");
    EXPECT_EQ(store.LoadSetting("AlwaysOnTop_Lanscope"), 0u);
    EXPECT_EQ(store.LoadSetting("AlwaysOnTop_AutoUpdate"), 0u);
}

TEST(IniSettings, ValuesSurviveANewStoreOnTheSameFile) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/sub/settings.ini";
    {
        IniSettingsBackend backend(path);
        SettingsStore store(backend);
        store.SaveIPAddr(MakeIpv4(192, 168, 1, 10));
        store.SaveFileDir("/home/tech/firmware/pump_APP.s19");
        store.SavePresetsFile("/home/tech/presets/hall.prs");
        store.SaveSetting("AlwaysOnTop_Lanscope", 1);
    }
    IniSettingsBackend backend(path);
    SettingsStore store(backend);
    EXPECT_EQ(store.LoadIPAddr(), 0xC0A8010Au);
    EXPECT_EQ(store.LoadFileDir(), "/home/tech/firmware/pump_APP.s19");
    EXPECT_EQ(store.LoadPresetsFile(), "/home/tech/presets/hall.prs");
    EXPECT_EQ(store.LoadSetting("AlwaysOnTop_Lanscope"), 1u);
}

TEST(IniSettings, UnwritableStorageLosesWritesSilentlyAndReadsDefaults) {
    QTemporaryDir dir;
    // A file where the folder should be: nothing can be created below it.
    QFile blocker(dir.path() + "/blocked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    IniSettingsBackend backend(dir.path() + "/blocked/settings.ini");
    SettingsStore store(backend);
    store.SavePresetsFile("/tmp/x.prs");
    store.SaveSetting("AlwaysOnTop_Lanscope", 1);
    EXPECT_EQ(store.LoadPresetsFile(), "");
    EXPECT_EQ(store.LoadSetting("AlwaysOnTop_Lanscope"), 0u);
}

TEST(IniSettings, WrongTypesAndEmbeddedZerosReadSafely) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/settings.ini";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\nIPAddr=not a number\nFileDir=\"abc\\0def\"\n");
    file.close();
    IniSettingsBackend backend(path);
    SettingsStore store(backend);
    EXPECT_EQ(store.LoadIPAddr(), 0u);
    EXPECT_EQ(store.LoadFileDir(), "abc");
}

TEST(IniSettings, EnvironmentNamesTheFile) {
    qputenv("LANSCOPE_SETTINGS", "/tmp/lanscope-test-settings.ini");
    EXPECT_EQ(IniSettingsBackend::DefaultPath(), "/tmp/lanscope-test-settings.ini");
    qunsetenv("LANSCOPE_SETTINGS");
    EXPECT_TRUE(IniSettingsBackend::DefaultPath().endsWith("/lanscope/settings.ini"));
}

}  // namespace
}  // namespace lanscope
