#include "TestEnv.h"
#include "core/DataFiles.h"
#include "core/EncoderTables.h"
#include "core/FormatCatalog.h"
#include "engine/EncoderNames.h"
#include "platform/IniFile.h"

#include <QRegularExpression>

namespace {

const QString kProfile = ":/vintra/vintraformat.ini";
const QString kSettings = ":/vintra/vintraconverter.ini";

const char *const kListKeys[] = {"VideoSize",  "VideoBitRate", "FrameRate", "VideoEncoder", "AudioBitRate",
                                 "SampleRate", "AudioEncoder", "Channel",   "Volume"};
const char *const kRangeKeys[] = {"VideoBitRate", "FrameRate", "AudioBitRate", "SampleRate"};
const char *const kTuningKeys[] = {"paraBitExact", "paraMaxBitrate", "paraBufferSize", "paraLevel",
                                   "paraQscale",   "paraGop",        "paraCoder"};

bool isNumber(const QString &text)
{
    bool ok = false;
    text.toDouble(&ok);
    return ok;
}

struct Profile
{
    int code;
    QString section;
    IniFile ini{kProfile};

    explicit Profile(int c)
        : code(c)
        , section(FormatSection(c))
    {}
    QString value(const char *key) const { return ini.readString(section, key, "null"); }
    QStringList list(const char *key) const { return ParseChoiceList(value(key)).value_or(QStringList{}); }
    // The entry the "i" key chooses, or nothing when the list has none there.
    std::optional<QString> defaultEntry(const char *key) const
    {
        const QStringList entries = list(key);
        const int i = ini.readInteger(section, QStringLiteral("i") + key, 0);
        if (i < 0 || i >= entries.size())
            return std::nullopt;
        return entries[i];
    }
};

TEST(ShippedProfiles, ContainerAndExtensionPerFormat)
{
    const std::map<int, std::pair<QString, QString>> expected = {
        {0, {"mov", "mov"}},   {100, {"mpeg", "mpg"}}, {101, {"vob", "mpg"}}, {102, {"mp4", "mp4"}},
        {103, {"mp4", "mp4"}}, {104, {"avi", "avi"}},  {105, {"asf", "wmv"}}, {106, {"avi", "avi"}},
        {107, {"avi", "avi"}}, {108, {"dv", "dv"}},    {109, {"dv", "dv"}},   {200, {"mp3", "mp3"}},
        {201, {"aac", "aac"}}, {202, {"m4a", "m4a"}},  {203, {"asf", "wma"}}, {204, {"wav", "wav"}},
        {205, {"ogg", "ogg"}}, {206, {"ac3", "ac3"}},
    };
    for (int code : CatalogFormatCodes()) {
        const Profile p(code);
        ASSERT_TRUE(p.ini.sectionExists(p.section)) << code;
        EXPECT_EQ(p.value("Format"), expected.at(code).first) << code;
        EXPECT_EQ(p.value("FileExt"), expected.at(code).second) << code;
    }
}

TEST(ShippedProfiles, ListsParseAndDefaultsAreInside)
{
    for (int code : CatalogFormatCodes()) {
        const Profile p(code);
        SCOPED_TRACE(p.section.toStdString());
        const bool audioOnly = code >= 200;
        EXPECT_EQ(p.ini.valueExists(p.section, "VideoEncoder"), !audioOnly);
        for (const char *key : kListKeys) {
            SCOPED_TRACE(key);
            const QString v = p.value(key);
            if (v == "null") {
                EXPECT_TRUE(audioOnly || QString(key) == "AudioBitRate") << "only audio formats lack video lists";
                continue;
            }
            const QStringList entries = p.list(key);
            ASSERT_FALSE(entries.isEmpty());
            for (const QString &e : entries)
                EXPECT_FALSE(e.trimmed().isEmpty()) << "empty entry in " << v.toStdString();
            EXPECT_TRUE(p.defaultEntry(key).has_value()) << "default index outside the list";
        }
        EXPECT_TRUE(p.ini.valueExists(p.section, "AudioEncoder"));
    }
}

TEST(ShippedProfiles, RangeListsAscendAndStartAndEndWithNumbers)
{
    for (int code : CatalogFormatCodes()) {
        const Profile p(code);
        for (const char *key : kRangeKeys) {
            QStringList entries = p.list(key);
            if (entries.isEmpty())
                continue;
            SCOPED_TRACE(p.section.toStdString() + " " + key);
            if (entries.first().compare("as source", Qt::CaseInsensitive) == 0)
                entries.removeFirst();
            ASSERT_FALSE(entries.isEmpty());
            double previous = -1;
            for (const QString &e : entries) {
                ASSERT_TRUE(isNumber(e)) << e.toStdString();
                EXPECT_GT(e.toDouble(), previous) << e.toStdString();
                previous = e.toDouble();
            }
        }
    }
}

TEST(ShippedProfiles, EntriesAreOnesTheDialogKnowsAndTheLibrariesEncode)
{
    const QRegularExpression size("^([1-9][0-9]*)x([1-9][0-9]*)$");
    for (int code : CatalogFormatCodes()) {
        const Profile p(code);
        SCOPED_TRACE(p.section.toStdString());
        for (const QString &e : p.list("VideoEncoder")) {
            const auto stored = StoredVideoEncoder(e);
            ASSERT_TRUE(stored) << e.toStdString();
            EXPECT_TRUE(EncoderExists(*stored)) << stored->toStdString();
        }
        for (const QString &e : p.list("AudioEncoder")) {
            const auto stored = StoredAudioEncoder(e);
            ASSERT_TRUE(stored) << e.toStdString();
            EXPECT_TRUE(EncoderExists(*stored)) << stored->toStdString();
        }
        for (const QString &e : p.list("Channel"))
            EXPECT_TRUE(StoredChannel(e)) << e.toStdString();
        for (const QString &e : p.list("Volume")) {
            EXPECT_TRUE(e.endsWith('%'));
            EXPECT_TRUE(StoredVolume(e.chopped(1).toInt())) << e.toStdString();
        }
        for (const QString &e : p.list("VideoSize")) {
            if (e == "as source")
                continue;
            const auto m = size.match(e);
            ASSERT_TRUE(m.hasMatch()) << e.toStdString();
            EXPECT_EQ(m.captured(1).toInt() % 2, 0) << e.toStdString();
            EXPECT_EQ(m.captured(2).toInt() % 2, 0) << e.toStdString();
        }
        for (const char *key : {"paraVideoBitRate", "paraSampleRate", "paraAudioBitRate"}) {
            const QString v = p.ini.readString(p.section, key, "");
            EXPECT_TRUE(v.compare("as source", Qt::CaseInsensitive) == 0 || (isNumber(v) && v.toDouble() > 0))
                << key << "=" << v.toStdString();
        }
        const bool h264 = p.list("VideoEncoder").contains("h264");
        for (const char *key : kTuningKeys) {
            EXPECT_EQ(p.ini.valueExists(p.section, key), h264) << key;
            if (h264 && QString(key) != "paraBitExact") {
                int v = -1;
                EXPECT_TRUE(ParseIniInteger(p.ini.readString(p.section, key, ""), v) && v >= 0) << key;
            }
        }
    }
}

// The shipped settings file holds, per format, what the settings dialog's OK writes for
// that format's default choices, with letterbox zoom and the volume unchanged.
TEST(ShippedSettings, EachSectionIsTheProfileDefaults)
{
    const IniFile s(kSettings);
    EXPECT_EQ(s.readString("settings", "FormatCode", ""), "103");
    EXPECT_EQ(s.readString("settings", "FormatName", ""), CatalogFormatText(103));
    for (int code : CatalogFormatCodes()) {
        const Profile p(code);
        const QString sec = p.section;
        SCOPED_TRACE(sec.toStdString());
        ASSERT_TRUE(s.sectionExists(sec));
        EXPECT_EQ(s.readString(sec, "Description", ""), CatalogFormatText(code));
        for (const char *key : kListKeys) {
            const auto entry = p.defaultEntry(key);
            EXPECT_EQ(s.readInteger(sec, QStringLiteral("i") + key, -99),
                      entry ? p.ini.readInteger(sec, QStringLiteral("i") + key, 0) : -1)
                << key;
        }
        for (const char *key : {"VideoSize", "VideoBitRate", "FrameRate", "SampleRate", "AudioBitRate"})
            EXPECT_EQ(s.readString(sec, QStringLiteral("para") + key, "<missing>"), p.defaultEntry(key).value_or(""))
                << key;
        EXPECT_EQ(s.readString(sec, "paraZoom", ""), "lbox");
        EXPECT_EQ(s.readString(sec, "paraVolume", ""), "256");
        EXPECT_EQ(s.readString(sec, "paraChannel", "<missing>"), StoredChannel(*p.defaultEntry("Channel")).value());
        EXPECT_EQ(s.readString(sec, "paraAudioEncoder", "<missing>"),
                  StoredAudioEncoder(*p.defaultEntry("AudioEncoder")).value());
        const auto video = p.defaultEntry("VideoEncoder");
        EXPECT_EQ(s.readString(sec, "paraVideoEncoder", "<missing>"),
                  video ? StoredVideoEncoder(*video).value() : QString("<missing>"));
        const bool h264 = video && *video == "h264";
        EXPECT_EQ(s.valueExists(sec, "paraGop"), h264);
    }
}

class DataFilesTest : public TestEnv
{};

TEST_F(DataFilesTest, InstallsMissingFilesAndNeverOverwrites)
{
    const QString dir = dataFolder();
    writeAll(dir + "vintraconverter.ini", "[settings]\nFormatCode=0\n");
    ASSERT_TRUE(InstallDataFiles(dir));
    EXPECT_EQ(readAll(dir + "vintraformat.ini"), readAll(kProfile));
    EXPECT_EQ(readAll(dir + "vintraconverter.ini"), "[settings]\nFormatCode=0\n");

    QFile::remove(dir + "vintraconverter.ini");
    writeAll(dir + "vintraformat.ini", "user's own");
    ASSERT_TRUE(InstallDataFiles(dir));
    EXPECT_EQ(readAll(dir + "vintraformat.ini"), "user's own");
    EXPECT_EQ(readAll(dir + "vintraconverter.ini"), readAll(kSettings));
    // The copy is an ordinary file the user (and the settings dialog) can write.
    IniFile(dir + "vintraconverter.ini").writeString("settings", "mute", "1");
}

TEST_F(DataFilesTest, FailsWithoutHarmWhereNothingCanBeWritten)
{
    writeAll(tempPath("blocker"), "file");
    EXPECT_FALSE(InstallDataFiles(tempPath("blocker/vintra/")));
    EXPECT_EQ(readAll(tempPath("blocker")), "file");
}

} // namespace
