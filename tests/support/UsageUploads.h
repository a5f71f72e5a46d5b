#pragma once

#include "HttpStub.h"

#include <QStringList>

// A local bucket for usage uploads: while it lives the usage reporter sends
// its events here (any signature is taken). The remote endpoint is left as
// it was.
class UsageUploads
{
public:
    UsageUploads();
    ~UsageUploads();

    // The event names received since the last call, after waiting until at
    // least `expected` arrived (a short settle when none is expected).
    QStringList take(int expected);

private:
    QByteArray m_remoteBase = qgetenv("TESSARY_REMOTE_BASE"); // before the stub replaces it
    HttpStub m_stub;
    qsizetype m_seen = 0;
};
