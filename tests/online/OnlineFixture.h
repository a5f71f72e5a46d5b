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
    ~OnlineEnv() { RemoteFetch::setTimeouts(previous); }

    RemoteFetch::Timeouts previous;
    HttpStub stub;
};

struct OnlineFixture : ::testing::Test, OnlineEnv {};
