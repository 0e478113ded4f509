#include <gtest/gtest.h>

#include "ScriptedServer.h"

#include <unistd.h>

// The servers started by the tests check that a port answering is really theirs: under
// parallel runs another program may take a port between its choice and the server's bind.
TEST(TestServers, APortIsAProcesssOnlyWhenThatProcessListensOnIt) {
    qbtest::ScriptedServer server([](qbtest::ScriptedConnection&) {});
    EXPECT_TRUE(qbtest::listenedBy(::getpid(), server.port()));
    EXPECT_FALSE(qbtest::listenedBy(::getppid(), server.port()));
    EXPECT_FALSE(qbtest::listenedBy(::getpid(), qbtest::closedPort()));
}
