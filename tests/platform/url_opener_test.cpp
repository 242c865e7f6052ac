// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop URL opener: the address reaches the opener exactly, and the call never waits for it.
#include "platform/url_opener.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace tamro {
namespace {

bool waitForFile(const QString& path, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(path)) {
        if (clock.elapsed() > milliseconds)
            return false;
        QThread::msleep(5);
    }
    return true;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(DesktopUrlOpener, HandsTheAddressOverVerbatimWithoutWaiting)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A stand-in browser that records its arguments, then holds on until the test lets it go: if
    // open() waited for it, open() would only return after the stand-in's own 5 s limit.
    const QString opener = dir.filePath("opener");
    QFile script(opener);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n"
                 "printf '%s|' \"$#\" \"$@\" > \"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\n"
                 "i=0; while [ ! -e \"$0.release\" ] && [ $i -lt 500 ]; do sleep 0.01; i=$((i+1)); done\n"
                 "touch \"$0.done\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Characters a shell would act on must arrive as plain text in one argument.
    const QString address = "http://tamro.example/a b;$(touch x)&'\"`*?";
    DesktopUrlOpener desktop(opener);
    QElapsedTimer clock;
    clock.start();
    desktop.open(address);
    const qint64 openMs = clock.elapsed();
    ASSERT_TRUE(waitForFile(opener + ".args", 5000));
    QFile(opener + ".release").open(QIODevice::WriteOnly);
    ASSERT_TRUE(waitForFile(opener + ".done", 6000));  // the stand-in has ended: nothing left running

    EXPECT_LT(openMs, 1000);
    EXPECT_EQ(contents(opener + ".args"), "1|" + address.toUtf8() + "|");
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("x")));
}

TEST(DesktopUrlOpener, AMissingOpenerIsNotReported)
{
    DesktopUrlOpener missing("/nonexistent/tamro-opener");
    EXPECT_NO_THROW(missing.open("http://tamro.example"));
}

}  // namespace
}  // namespace tamro
