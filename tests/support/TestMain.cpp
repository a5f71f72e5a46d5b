#include "StrayProcesses.h"
#include "TestIsolation.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <optional>

int main(int argc, char** argv)
{
    StrayProcesses::adoptOrphans();
    // Isolate before Qt or any store resolves a path. A death test re-runs this
    // binary and leaves through exit(): it reuses its parent's folder, which the
    // parent removes, instead of leaving one of its own behind.
    std::optional<QTemporaryDir> root;
    QByteArray base = qgetenv("TESSARY_TEST_ROOT");
    if (base.isEmpty() || !QDir(QString::fromUtf8(base)).exists()) {
        root.emplace(QDir::tempPath() + "/tessary-test-XXXXXX");
        base = root->path().toUtf8();
    }
    const char* dirs[][2] = {{"HOME", "/home"}, {"XDG_CONFIG_HOME", "/config"},
                             {"XDG_DATA_HOME", "/data"}, {"XDG_CACHE_HOME", "/cache"},
                             {"XDG_STATE_HOME", "/state"}, {"XDG_RUNTIME_DIR", "/runtime"},
                             {"TMPDIR", "/tmp"}};
    for (const auto& d : dirs) {
        const QByteArray path = base + d[1];
        QDir().mkpath(QString::fromUtf8(path));
        setenv(d[0], path.constData(), 1);
    }
    QFile::setPermissions(QString::fromUtf8(base + "/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setenv("TESSARY_TEST_ROOT", base.constData(), 1);
    setenv("XDG_DATA_DIRS", "/usr/share", 1);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!getenv("TZ"))
        setenv("TZ", "Asia/Shanghai", 1);
    // No real desktop session: a test that wants a bus starts its own.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + base + "/runtime/no-system-bus").constData(), 1);

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TestIsolation);
    // Appended last, so it runs first at a test's end: before the folders go.
    ::testing::UnitTest::GetInstance()->listeners().Append(new StrayProcessCheck);
    const int result = RUN_ALL_TESTS();
    // What the last steps (a suite's tear-down, static fixtures) left.
    const QStringList strays = StrayProcesses::endStrays();
    if (!strays.isEmpty()) {
        fprintf(stderr, "Left running after the tests, now ended: %s\n", qPrintable(strays.join(", ")));
        return 1;
    }
    return result;
}
