#include "core/GlobalUnit.h"
#include "RecordingShell.h"
#include "TestEnv.h"
#include "core/SettingsKeys.h"

#include <QDir>
#include <QUrl>

namespace {

class GlobalUnitTest : public GlobalEnv
{
protected:
    IniFile settings() const { return GlobalObject->Settings(); }
    QString outDir() const { return settings().readString("settings", "OutPutDir", "<missing>"); }
    QString snapDir() const { return settings().readString("settings", "SnapOutPutDir", "<missing>"); }
};

TEST_F(GlobalUnitTest, ConstructionPointsIntoTheDataFolder)
{
    EXPECT_EQ(GlobalObject->SettingsFile(), dataFolder() + "vintraconverter.ini");
    EXPECT_EQ(GlobalObject->FormatFile(), dataFolder() + "vintraformat.ini");
    EXPECT_EQ(GlobalObject->ProductTitle(), "Vintra");
    EXPECT_EQ(GlobalObject->VersionText(), " ver 1.30 ");
    EXPECT_EQ(GlobalObject->FileVersionText(), " 1.300 ");
    EXPECT_TRUE(QUrl(GlobalObject->WebsiteUrl()).isValid() && !QUrl(GlobalObject->WebsiteUrl()).isRelative());
    EXPECT_TRUE(QUrl(GlobalObject->HelpUrl()).isValid() && !QUrl(GlobalObject->HelpUrl()).isRelative());
    EXPECT_EQ(GlobalObject->SpecialFolder(35), dataFolder());
    EXPECT_EQ(GlobalObject->SpecialFolder(26), "");
}

TEST_F(GlobalUnitTest, SettersRefuseEmptyTitlesAndShortPaths)
{
    TGlobalObject g;
    g.SetSettingsFile("a.i");
    EXPECT_EQ(g.SettingsFile(), "");
    g.SetSettingsFile("a.ini");
    EXPECT_EQ(g.SettingsFile(), "a.ini");
    g.SetFormatFile("abc");
    EXPECT_EQ(g.FormatFile(), "");
    g.SetProductTitle("Vintra");
    g.SetProductTitle("");
    EXPECT_EQ(g.ProductTitle(), "Vintra");
    g.SetVersionText(" 1.300 ");
    g.SetVersionText("");
    EXPECT_EQ(g.VersionText(), " 1.300 ");
    g.SetHelpUrl("");
    g.SetWebsiteUrl("");
    EXPECT_EQ(g.HelpUrl(), "");
    EXPECT_EQ(g.WebsiteUrl(), "");
}

TEST_F(GlobalUnitTest, StartupReplacesMissingOutputDirsByTheProfileFallback)
{
    setEnv("USERPROFILE", tempPath("profile"));
    // Neither key is set and HOME/videoconverter does not exist.
    EXPECT_EQ(GlobalObject->CheckStartupDirs(), tempPath("profile/videoconverter"));
    EXPECT_EQ(outDir(), tempPath("profile/videoconverter"));
    EXPECT_EQ(snapDir(), tempPath("profile/videoconverter"));
    EXPECT_FALSE(QFileInfo::exists(tempPath("profile/videoconverter"))) << "the fallback is neither created nor tested";
}

TEST_F(GlobalUnitTest, StartupKeepsWritableDirsAndReplacesEachBadOneOnItsOwn)
{
    setEnv("USERPROFILE", tempPath("profile"));
    QDir().mkpath(tempPath("out"));
    settings().writeString("settings", "OutPutDir", tempPath("out"));
    settings().writeString("settings", "SnapOutPutDir", tempPath("not-yet")); // parent writable, dir missing
    EXPECT_EQ(GlobalObject->CheckStartupDirs(), tempPath("out"));
    EXPECT_EQ(outDir(), tempPath("out"));
    EXPECT_EQ(snapDir(), tempPath("profile/videoconverter"));

    settings().writeString("settings", "OutPutDir", "/proc"); // exists, read-only
    EXPECT_EQ(GlobalObject->CheckStartupDirs(), tempPath("profile/videoconverter"));
    EXPECT_EQ(outDir(), tempPath("profile/videoconverter"));
}

TEST_F(GlobalUnitTest, EnsureOutputDirCreatesTheDirectory)
{
    RecordingShell shell;
    settings().writeString("settings", "OutPutDir", tempPath("a/b/c"));
    EXPECT_EQ(GlobalObject->EnsureOutputDir(), tempPath("a/b/c"));
    EXPECT_TRUE(QFileInfo(tempPath("a/b/c")).isDir());
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(GlobalUnitTest, EnsureOutputDirFallsBackOnceWhenTheDirCannotBeMade)
{
    RecordingShell shell;
    writeAll(tempPath("blocker"), "file");
    const QString bad = tempPath("blocker/out");
    settings().writeString("settings", "OutPutDir", bad);

    // The name built by this call still uses the failed directory.
    EXPECT_EQ(GlobalObject->EnsureOutputDir(), bad);
    const QString fallback = home() + "/videoconverter";
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text,
              "Cannot create output directory:" + bad + ".It will create default directory " + fallback + "!");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(shell.messages[0].buttons, platform::MsgButtons::Ok);
    EXPECT_TRUE(QFileInfo(fallback).isDir());
    EXPECT_EQ(outDir(), fallback);

    EXPECT_EQ(GlobalObject->EnsureOutputDir(), fallback);
    EXPECT_EQ(shell.messages.size(), 1u);
}

TEST_F(GlobalUnitTest, MissingOutputDirSettingUsesTheDefault)
{
    RecordingShell shell;
    EXPECT_EQ(GlobalObject->EnsureOutputDir(), home() + "/videoconverter");
    EXPECT_TRUE(QFileInfo(home() + "/videoconverter").isDir());
    EXPECT_EQ(outDir(), "<missing>") << "a successful call writes nothing";
}

} // namespace
