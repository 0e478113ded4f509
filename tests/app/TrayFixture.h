#pragma once

#include <gtest/gtest.h>

#include "DialogAnswerer.h"
#include "HelperLibrary.h"
#include "TestEnvironment.h"
#include "library/Settings.h"

namespace qbtest {

// A later start: the helper library in place, the first run over and a stored speed, so
// that start-up shows no wizard and asks no question.
inline void storeLaterStart(const TempHome& home) {
    ASSERT_TRUE(installHelperLibrary(home));
    Settings().writeBool("Main", "FirstRun", false);
    Settings().writeInteger("Download", "Speed", 28800);
}

class LaterStart : public ::testing::Test {
protected:
    void SetUp() override { storeLaterStart(home); }
    TempHome home;
};

} // namespace qbtest
