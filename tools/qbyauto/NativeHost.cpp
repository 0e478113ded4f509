#include "NativeHost.h"

#include "HelperRequests.h"
#include "NativeMessaging.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

using nativehost::Outcome;

// The extension gives up after a few seconds and lets the browser download; the host gives
// up a little earlier, so that its answer still arrives.
constexpr int kProbeTimeoutMs = 8000;
constexpr int kHandOffTimeoutMs = 4000;

Outcome outcomeOf(const platform::SendResult& sent) {
    Outcome outcome;
    outcome.error = sent.error;
    switch (sent.status) {
    case platform::SendResult::Answered:
        outcome.status = Outcome::Done;
        break;
    case platform::SendResult::NoReceiver:
        outcome.status = Outcome::NotRunning;
        break;
    case platform::SendResult::Failed:
        outcome.status = Outcome::Failed;
        break;
    }
    return outcome;
}

class RunningProgram : public nativehost::Program {
public:
    Outcome status() override {
        Outcome outcome;
        outcome.status = Outcome::Done;
        outcome.intercepting = helper::receiverListening(helper::kReceiverTitle);
        outcome.reachable =
            outcome.intercepting || helper::receiverListening(helper::kDisabledTitle);
        return outcome;
    }

    Outcome probe(const QString& url) override {
        char verdict = 0;
        Outcome outcome = outcomeOf(helper::probe(url.toUtf8(), &verdict, kProbeTimeoutMs));
        outcome.verdict = verdict ? 1 : 0;
        return outcome;
    }

    Outcome handOff(const QByteArray& record) override {
        return outcomeOf(helper::sendHandOff(record, kHandOffTimeoutMs));
    }
};

qint64 readInput(char* buffer, qint64 size) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, size_t(size));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool writeOutput(QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

int runNativeHost() {
    // A browser that goes away mid-reply must end the host with an error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    RunningProgram program;
    const int code = nativehost::serve(readInput, writeOutput, program);
    if (code != 0)
        std::fputs("qbyauto native-host: the browser's message broke off\n", stderr);
    return code;
}
