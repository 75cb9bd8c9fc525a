#include "platform/IniFile.h"
#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace {

class IniFileTest : public TestEnv
{
protected:
    QString path() const { return tempPath("settings/test.ini"); }
};

TEST_F(IniFileTest, MissingFileReadsDefaultsAndCreatesNothing)
{
    IniFile ini(path());
    EXPECT_EQ(ini.readString("settings", "OutPutDir", "fallback"), "fallback");
    EXPECT_EQ(ini.readInteger("settings", "priority", 7), 7);
    EXPECT_TRUE(ini.readBool("lstformat", "1", true));
    EXPECT_FALSE(ini.sectionExists("settings"));
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_FALSE(QFileInfo::exists(tempPath("settings")));
}

TEST_F(IniFileTest, FirstWriteCreatesFolderAndFile)
{
    IniFile ini(path());
    ini.writeString("settings", "FormatCode", "103");
    EXPECT_EQ(readAll(path()), "[settings]\nFormatCode=103\n");
    EXPECT_EQ(ini.readInteger("settings", "FormatCode", 1), 103);
}

TEST_F(IniFileTest, KeysAndSectionsMatchInAnyCase)
{
    IniFile ini(path());
    ini.writeString("formatInfo103", "paraZoom", "pan");
    EXPECT_EQ(ini.readString("FORMATINFO103", "parazoom", "lbox"), "pan");
    ini.writeString("formatinfo103", "PARAZOOM", "center");
    // One key, rewritten in place under its first spelling.
    EXPECT_EQ(readAll(path()), "[formatInfo103]\nparaZoom=center\n");
}

TEST_F(IniFileTest, SameKeyInTwoSectionsIsTwoValues)
{
    IniFile ini(path());
    ini.writeString("formatInfo0", "paraZoom", "full");
    ini.writeString("formatInfo1", "paraZoom", "lbox");
    ini.writeString("formatInfo0", "paraZoom", "pan");
    EXPECT_EQ(ini.readString("formatInfo0", "paraZoom", ""), "pan");
    EXPECT_EQ(ini.readString("formatInfo1", "paraZoom", ""), "lbox");
}

TEST_F(IniFileTest, WritesKeepCommentsBlankLinesAndOtherKeys)
{
    writeAll(path(), "; comment at the top\n"
                     "\n"
                     "[settings]\n"
                     "; about the output\n"
                     "OutPutDir=/old\n"
                     "\n"
                     "[other]\n"
                     "x = 1\n");
    IniFile ini(path());
    ini.writeString("settings", "OutPutDir", "/new");
    ini.writeString("settings", "mute", "1");
    ini.writeString("third", "k", "v");
    EXPECT_EQ(readAll(path()), "; comment at the top\n"
                               "\n"
                               "[settings]\n"
                               "; about the output\n"
                               "OutPutDir=/new\n"
                               "mute=1\n"
                               "\n"
                               "[other]\n"
                               "x = 1\n"
                               "\n"
                               "[third]\n"
                               "k=v\n");
    EXPECT_EQ(ini.readString("other", "X", ""), "1");
}

TEST_F(IniFileTest, ValuesMaySpanEqualsSignsAndAreTrimmedAndUnquoted)
{
    writeAll(path(), "[s]\n"
                     "filter = crop=8:0:704:576 \n"
                     "quoted=\"  padded \"\n"
                     "single='x'\n"
                     "half=\"x\n"
                     "empty=\n");
    IniFile ini(path());
    EXPECT_EQ(ini.readString("s", "filter", ""), "crop=8:0:704:576");
    EXPECT_EQ(ini.readString("s", "quoted", ""), "  padded ");
    EXPECT_EQ(ini.readString("s", "single", ""), "x");
    EXPECT_EQ(ini.readString("s", "half", ""), "\"x");
    EXPECT_EQ(ini.readString("s", "empty", "default"), "");
    EXPECT_TRUE(ini.valueExists("s", "empty"));

    ini.writeString("s", "chain", "a=b,c=d");
    EXPECT_EQ(ini.readString("s", "chain", ""), "a=b,c=d");
}

TEST_F(IniFileTest, CrlfFilesReadAndStayCrlf)
{
    writeAll(path(), "[settings]\r\nFormatCode=102\r\nFormatName=MPEG-4 Video (*.mp4)\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.readInteger("settings", "FormatCode", 1), 102);
    EXPECT_EQ(ini.readString("settings", "FormatName", ""), "MPEG-4 Video (*.mp4)");
    ini.writeString("settings", "FormatCode", "0");
    ini.writeString("lstformat", "1", "0");
    EXPECT_EQ(readAll(path()),
              "[settings]\r\nFormatCode=0\r\nFormatName=MPEG-4 Video (*.mp4)\r\n\r\n[lstformat]\r\n1=0\r\n");
}

TEST_F(IniFileTest, IntegerReads)
{
    struct Case
    {
        const char *text;
        int expected;
    };
    const Case cases[] = {
        {"42", 42},
        {"  -7 ", -7},
        {"+3", 3},
        {"$1F", 31},
        {"0x10", 16},
        {"12abc", -1},
        {"abc", -1},
        {"", -1},
        {"1.5", -1},
        {"- 3", -1},
        {"2147483647", 2147483647},
        {"2147483648", -1},
        {"-2147483648", -2147483647 - 1},
    };
    IniFile ini(path());
    for (const Case &c : cases) {
        ini.writeString("n", "v", c.text);
        EXPECT_EQ(ini.readInteger("n", "v", -1), c.expected) << c.text;
    }
    ini.writeBool("n", "b", true);
    EXPECT_EQ(ini.readString("n", "b", ""), "1");
    EXPECT_TRUE(ini.readBool("n", "b", false));
    ini.writeString("n", "b", "0");
    EXPECT_FALSE(ini.readBool("n", "b", true));
}

TEST_F(IniFileTest, FirstOfTwoSameSectionsAndKeysCounts)
{
    writeAll(path(), "[a]\nk=1\nk=2\n[A]\nk=3\nj=4\n");
    IniFile ini(path());
    EXPECT_EQ(ini.readString("a", "k", ""), "1");
    EXPECT_EQ(ini.readString("a", "j", "missing"), "missing");
}

TEST_F(IniFileTest, LineBreaksInValuesCannotSplitTheFile)
{
    IniFile ini(path());
    ini.writeString("s", "k", "one\ntwo\r\n[evil]");
    EXPECT_EQ(ini.readString("s", "k", ""), "one two  [evil]");
    EXPECT_FALSE(ini.sectionExists("evil"));
}

TEST_F(IniFileTest, WriteLeavesNoTemporaryFiles)
{
    IniFile ini(path());
    for (int i = 0; i < 5; ++i)
        ini.writeInteger("s", "k", i);
    EXPECT_EQ(QDir(tempPath("settings")).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}

TEST_F(IniFileTest, WriteBelowAFileFailsClearly)
{
    writeAll(tempPath("blocker"), "not a folder");
    IniFile ini(tempPath("blocker/sub/x.ini"));
    try {
        ini.writeString("s", "k", "v");
        FAIL() << "write succeeded";
    } catch (const IniWriteError &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(tempPath("blocker/sub/x.ini"))) << e.what();
    }
    EXPECT_EQ(readAll(tempPath("blocker")), "not a folder");
}

TEST_F(IniFileTest, UnwritableFolderKeepsTheOldFileIntact)
{
    QString target;
    if (geteuid() == 0) {
        // The superuser writes anywhere on a normal file system; /proc refuses new files even to it.
        target = "/proc/version";
    } else {
        writeAll(path(), "[s]\nk=old\n");
        ASSERT_TRUE(QFile::setPermissions(tempPath("settings"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        target = path();
    }
    const QByteArray before = readAll(target);
    ASSERT_FALSE(before.isEmpty());
    IniFile ini(target);
    EXPECT_THROW(ini.writeString("s", "k", "new"), IniWriteError);
    EXPECT_EQ(readAll(target), before);
    QFile::setPermissions(tempPath("settings"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace
