// Name lookups share a few worker threads: a burst of slow lookups cannot pile
// up threads, and a lookup cancelled before its turn never runs.
#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "net/HostLookup.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

TEST(HostLookupPool, ABurstOfSlowLookupsRunsOnAFewThreadsAndCancelledOnesNeverRun) {
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::atomic<int> asked{0};
    HostLookup::setResolver([&](const QByteArray&, QString& address) {
        ++asked;
        const int now = ++running;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        --running;
        address = QStringLiteral("127.0.0.1");
        return 0;
    });
    int answered = 0;
    std::vector<std::shared_ptr<HostLookup>> lookups;
    for (int i = 0; i < 24; ++i)
        lookups.push_back(HostLookup::start(QStringLiteral("host%1.example").arg(i),
                                            [&](int, const QString&) { ++answered; }));
    // The second half is cancelled before its turn can come.
    for (int i = 12; i < 24; ++i)
        lookups[i]->cancel();
    EXPECT_TRUE(qbtest::pumpUntil([] { return HostLookup::inFlight() == 0; }, 10000));
    HostLookup::setResolver(nullptr);
    EXPECT_LE(most.load(), HostLookup::maxWorkers());
    EXPECT_EQ(answered, 12);
    EXPECT_LE(asked.load(), 12 + HostLookup::maxWorkers());
}

} // namespace
