#pragma once

#include "QtPrinters.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>

// A private home for one test: HOME and XDG_CONFIG_HOME point into a temporary folder
// (so the data folder is <tmp>/config/vintra/), USERPROFILE is unset. Everything is
// restored when the test ends.
class TestEnv : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    QString tempPath(const QString &relative = QString()) const;
    QString dataFolder() const { return tempPath("config/vintra/"); }
    QString home() const { return tempPath("home"); }

    void setEnv(const char *name, const QString &value);
    void unsetEnv(const char *name);

    static QByteArray readAll(const QString &path);
    static void writeAll(const QString &path, const QByteArray &bytes);

    QTemporaryDir m_tmp;

private:
    std::map<std::string, std::optional<QByteArray>> m_saved;
    void remember(const char *name);
};

// Sets up GlobalObject over the test's data folder, and frees it afterwards.
class GlobalEnv : public TestEnv
{
protected:
    void SetUp() override;
    void TearDown() override;
};
