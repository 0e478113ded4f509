#pragma once

#include "TestCertificates.h"

#include <gtest/gtest.h>

#include <QString>

#include <memory>
#include <string>

// Runs a client test over plain http and over https with the same server script: the
// cases about what a server sends hold for both. The https client trusts the test
// authority through SSL_CERT_FILE, as a user trusts a private one.
class OverScheme : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(qbtest::TestCertificates::get().ok())
            << qPrintable(qbtest::TestCertificates::get().error());
        trust_ = std::make_unique<qbtest::TrustTestAuthority>();
    }
    void TearDown() override { trust_.reset(); }
    QString scheme() const { return QString::fromLatin1(GetParam()); }

private:
    std::unique_ptr<qbtest::TrustTestAuthority> trust_;
};

// Instantiates a fixture derived from OverScheme for both schemes.
#define QB_OVER_HTTP_AND_HTTPS(Fixture)                                                            \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Scheme, Fixture, ::testing::Values("http", "https"),                                       \
        [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); })
