#pragma once

#include "HttpStub.h"
#include "online/RemoteFetch.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QTest>

// A fresh stub endpoint per test, short time-outs so a silent server costs
// little, and no stored preferences left over from the test before.
struct OnlineEnv {
    OnlineEnv()
    {
        previous = RemoteFetch::setTimeouts({300, 300, 300});
        for (const QString& key : UserDefaults::standard().dictionaryRepresentation().keys())
            UserDefaults::standard().remove(key);
    }
    ~OnlineEnv()
    {
        RemoteFetch::setTimeouts(previous);
        useInbox(false);
    }
    // The stub as the feedback inbox with tokens "one" and "two", or no inbox.
    void useInbox(bool on)
    {
        const char* names[] = {"TESSARY_FEEDBACK_INBOX", "TESSARY_FEEDBACK_TOKEN_1", "TESSARY_FEEDBACK_TOKEN_2"};
        const QByteArray values[] = {stub.base().chopped(1).toUtf8(), "one", "two"};
        for (int i = 0; i < 3; ++i)
            on ? qputenv(names[i], values[i]) : qunsetenv(names[i]);
    }

    RemoteFetch::Timeouts previous;
    HttpStub stub;
};

struct OnlineFixture : ::testing::Test, OnlineEnv {};
