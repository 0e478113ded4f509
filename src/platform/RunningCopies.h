#pragma once

#include <functional>

namespace platform {

// Several copies of the program may run for one user, and they share what the first one
// set up for the browsers (the helper library's registration, the native host manifests).
// Each copy holds a shared lock on one file in the endpoint folder for as long as it
// runs, so that a copy that ends can tell whether it is the last one: only the last may
// take the shared set-up away.
class RunningCopy {
public:
    // Takes the shared lock; waits while an ending last copy is still tidying up, so that
    // a starting copy never sets up what is about to be removed.
    RunningCopy();
    ~RunningCopy();
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    // Gives up this copy's lock and runs `tidy` when no other copy runs, holding the lock
    // exclusively meanwhile. True when `tidy` ran. Without a usable lock file every copy
    // counts as the last (the behaviour of a single copy).
    bool whenLast(const std::function<void()>& tidy);

private:
    int fd_ = -1;
};

} // namespace platform
