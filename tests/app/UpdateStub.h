#pragma once

#include "HttpStub.h"
#include "online/UpdateChecker.h"

#include <QTest>

// Has `checker` run one real check against a local endpoint serving
// `versionFile`, and waits for its verdict.
inline void checkAgainst(UpdateChecker* checker, const QByteArray& versionFile)
{
    HttpStub stub;
    stub.route("/version.txt", 200, versionFile);
    checker->checkForUpdate();
    (void)QTest::qWaitFor([&] { return checker->updateResult().has_value(); }, 5000);
}
