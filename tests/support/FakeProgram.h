#pragma once

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QString>

// Puts an empty executable named `name` in a folder of the test's home and
// makes that folder the whole PATH, so code that looks a program up finds it.
// It must never be run: tests record the start instead.
inline QString installFakeProgram(const QString& name)
{
    const QString bin = TestEnv::home() + "/bin";
    QDir().mkpath(bin);
    QFile program(bin + '/' + name);
    program.open(QIODevice::WriteOnly);
    program.close();
    program.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    qputenv("PATH", bin.toUtf8());
    return program.fileName();
}
