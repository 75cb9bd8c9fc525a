#include "RecordingShell.h"
#include "TestEnv.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"

#include <QDir>
#include <pwd.h>
#include <unistd.h>

using namespace platform;

namespace {

TEST(VersionText, JoinsAllButTheFirstNumberWithoutPoints)
{
    EXPECT_EQ(FormatVersionText(4, 4, 0, 0), " 4.400 ");
    EXPECT_EQ(FormatVersionText(1, 2, 3, 4), " 1.234 ");
    EXPECT_EQ(FormatVersionText(10, 0, 12, 3), " 10.0123 ");
    EXPECT_EQ(ProgramVersionText(), " 1.300 ");
}

TEST(RightChars, TakesTheTail)
{
    struct Case
    {
        const char *text;
        int n;
        const char *expected;
    };
    const Case cases[] = {
        {"abc", 5, "abc"}, {"abc", 3, "abc"}, {"abcdef", 2, "ef"}, {"/tmp/out/", 1, "/"}, {"abc", 0, ""}, {"", 3, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RightChars(c.text, c.n), c.expected) << c.text << " " << c.n;
}

TEST(CurrentUser, IsTheLogonName)
{
    const passwd *pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(CurrentUserName(), QString::fromLocal8Bit(pw->pw_name));
}

class DirsTest : public TestEnv
{};

TEST_F(DirsTest, WritableDirectories)
{
    EXPECT_TRUE(IsDirWritable(home()));
    EXPECT_TRUE(IsDirWritable(home() + "/"));
    EXPECT_TRUE(QDir(home()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "the probe file is left behind";
    EXPECT_FALSE(IsDirWritable(home() + "/missing"));
    EXPECT_FALSE(IsDirWritable(""));
    EXPECT_FALSE(IsDirWritable("/proc"));
    writeAll(tempPath("file"), "x");
    EXPECT_FALSE(IsDirWritable(tempPath("file")));
}

TEST_F(DirsTest, DataFolderFollowsTheConfigLocation)
{
    EXPECT_EQ(DataFolder(), tempPath("config/vintra/"));
    EXPECT_FALSE(QFileInfo::exists(tempPath("config/vintra"))) << "locating the folder must not create it";
}

TEST_F(DirsTest, ProfileFolderPrefersUserProfile)
{
    EXPECT_EQ(ProfileFolder(), home());
    EXPECT_EQ(ProfileFallbackDir(), home() + "/videoconverter");
    setEnv("USERPROFILE", "/profiles/ann");
    EXPECT_EQ(ProfileFallbackDir(), "/profiles/ann/videoconverter");
    unsetEnv("USERPROFILE");
    unsetEnv("HOME");
    EXPECT_EQ(ProfileFallbackDir(), "/videoconverter");
}

TEST_F(DirsTest, DefaultOutputDirIsInHome)
{
    EXPECT_EQ(DefaultOutputDir(), home() + "/videoconverter");
    EXPECT_EQ(WithTrailingSeparator("/a"), "/a/");
    EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");
}

TEST(ShellSeam, RecorderReplacesAndRestoresTheShell)
{
    Shell *before = &CurrentShell();
    {
        RecordingShell shell;
        shell.answers.push_back(MsgAnswer::No);
        EXPECT_EQ(&CurrentShell(), &shell);
        EXPECT_EQ(MessageBox("Sure?", "Warning", MsgButtons::YesNo, MsgIcon::Question), MsgAnswer::No);
        EXPECT_EQ(MessageBox("Again?", "Warning", MsgButtons::YesNo, MsgIcon::Question), MsgAnswer::Yes);
        Beep();
        CurrentShell().shutDown();
        ASSERT_EQ(shell.messages.size(), 2u);
        EXPECT_EQ(shell.messages[0].text, "Sure?");
        EXPECT_EQ(shell.messages[0].caption, "Warning");
        EXPECT_EQ(shell.messages[0].icon, MsgIcon::Question);
        EXPECT_EQ(shell.beeps, 1);
        EXPECT_EQ(shell.shutDowns, 1);
    }
    EXPECT_EQ(&CurrentShell(), before);
}

TEST(ShellSeam, HeadlessShellAnswersWithTheFirstButton)
{
    HeadlessShell shell;
    EXPECT_EQ(shell.messageBox("t", "c", MsgButtons::YesNo, MsgIcon::Question), MsgAnswer::Yes);
    EXPECT_EQ(shell.messageBox("t", "c", MsgButtons::Ok, MsgIcon::Warning), MsgAnswer::Ok);
    EXPECT_TRUE(shell.openFiles({}).isEmpty());
}

} // namespace
