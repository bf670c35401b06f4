// A test suite that shares one local test server among its tests, and the requests each
// test has caused.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_server.h"

class ServerSuite : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new TestServer;
        startError = server->Start() ? std::string() : server->Error();
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    // Derived suites call this first and stop on a fatal failure.
    void SetUp() override
    {
        ASSERT_EQ(startError, "") << "the test server starts";
        seen = server->Requests().size();
    }

    // The requests since the test began.
    std::vector<RecordedRequest> NewRequests() const
    {
        std::vector<RecordedRequest> all = server->Requests();
        return std::vector<RecordedRequest>(all.begin() + static_cast<long>(seen), all.end());
    }

    inline static TestServer* server = nullptr;
    inline static std::string startError;
    size_t seen = 0;
};
