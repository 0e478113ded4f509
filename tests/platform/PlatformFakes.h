#pragma once

#include <gtest/gtest.h>

#include <QFile>

#include <atomic>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <thread>

#include "ScriptedServer.h"
#include "platform/RequestClient.h"

namespace qbtest {

inline platform::Request probeRequest() {
    platform::Request r;
    r.message = platform::WM_CONTENTPROBE;
    return r;
}

inline platform::Request handOffRequest(const QByteArray& data, quint64 tag = 0) {
    platform::Request r;
    r.message = platform::WM_COPYDATA;
    r.copyData.dwData = tag;
    r.copyData.lpData = data;
    return r;
}

// Sends from a thread of its own while the test's thread serves, as the helper does from
// its own process.
class Sender {
public:
    Sender(const QString& title, const platform::Request& request)
        : thread_([=, this] {
              result_ = platform::sendRequest(title, request, 20000);
              done_ = true;
          }) {}
    ~Sender() { thread_.join(); }
    // Serves until the answer is in.
    const platform::SendResult& result() {
        EXPECT_TRUE(pumpUntil([this] { return done_.load(); }, 30000));
        thread_.join();
        thread_ = std::thread([] {});
        return result_;
    }
    bool done() const { return done_; }

private:
    platform::SendResult result_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Refusals of file writes, each lifted when the returned guard goes. Root ignores file modes,
// but the profile layer counts a file without any write bit as read-only for everyone.
inline std::shared_ptr<void> readOnlyFile(const QString& file) {
    const QFile::Permissions before = QFile::permissions(file);
    EXPECT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup));
    return std::shared_ptr<void>(nullptr,
                                 [file, before](void*) { QFile::setPermissions(file, before); });
}

// A full disk: a file-size limit, which binds root as well, fails the write of a replacement.
inline std::shared_ptr<void> fullFileSystem(rlim_t bytes = 8) {
    struct Saved {
        rlimit limit{};
        void (*handler)(int) = nullptr;
    };
    auto saved = std::make_shared<Saved>();
    ::getrlimit(RLIMIT_FSIZE, &saved->limit);
    // A write beyond the limit fails with EFBIG instead of raising SIGXFSZ.
    saved->handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved->limit;
    tiny.rlim_cur = bytes;
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    return std::shared_ptr<void>(nullptr, [saved](void*) {
        ::setrlimit(RLIMIT_FSIZE, &saved->limit);
        std::signal(SIGXFSZ, saved->handler);
    });
}

} // namespace qbtest
