#include "TestEnv.h"

#include "core/GlobalUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

void TestEnv::SetUp()
{
    ASSERT_TRUE(m_tmp.isValid());
    QDir(m_tmp.path()).mkpath("home");
    setEnv("HOME", home());
    setEnv("XDG_CONFIG_HOME", tempPath("config"));
    unsetEnv("USERPROFILE");
}

void TestEnv::TearDown()
{
    for (auto &[name, value] : m_saved) {
        if (value)
            qputenv(name.c_str(), *value);
        else
            qunsetenv(name.c_str());
    }
    m_saved.clear();
}

QString TestEnv::tempPath(const QString &relative) const
{
    return relative.isEmpty() ? m_tmp.path() : m_tmp.path() + QLatin1Char('/') + relative;
}

void TestEnv::remember(const char *name)
{
    if (m_saved.count(name))
        return;
    if (qEnvironmentVariableIsSet(name))
        m_saved[name] = qgetenv(name);
    else
        m_saved[name] = std::nullopt;
}

void TestEnv::setEnv(const char *name, const QString &value)
{
    remember(name);
    qputenv(name, value.toLocal8Bit());
}

void TestEnv::unsetEnv(const char *name)
{
    remember(name);
    qunsetenv(name);
}

QByteArray TestEnv::readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TestEnv::writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void GlobalEnv::SetUp()
{
    TestEnv::SetUp();
    CreateGlobalObject();
}

void GlobalEnv::TearDown()
{
    FreeGlobalObject();
    TestEnv::TearDown();
}
