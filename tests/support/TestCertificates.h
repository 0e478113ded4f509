#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace qbtest {

// A certificate and its private key, both PEM files.
struct CertificatePair {
    QString certificate;
    QString key;
};

// A test certificate authority and server certificates, made with the openssl command on
// first use (no network) and kept for the rest of the test run.
class TestCertificates {
public:
    static const TestCertificates& get();

    bool ok() const { return error_.isEmpty(); }
    // What the openssl command said when a certificate could not be made.
    QString error() const { return error_; }

    // The test authority, to trust through SSL_CERT_FILE or the client's CaFile.
    QString caFile() const { return path("ca.pem"); }
    // For localhost, 127.0.0.1 and ::1, issued by the test authority.
    CertificatePair good() const { return pair("good"); }
    // For other.example only, issued by the test authority.
    CertificatePair wrongHost() const { return pair("wronghost"); }
    // For localhost and 127.0.0.1, valid in January 2020 only.
    CertificatePair expired() const { return pair("expired"); }
    // For localhost and 127.0.0.1, signed by its own key.
    CertificatePair selfSigned() const { return pair("selfsigned"); }
    // For localhost and 127.0.0.1, issued by an authority nobody trusts.
    CertificatePair unknownIssuer() const { return pair("unknownca"); }

private:
    TestCertificates();
    QString path(const QString& name) const { return dir_.path() + '/' + name; }
    CertificatePair pair(const QString& name) const {
        return {path(name + ".pem"), path(name + ".key")};
    }
    bool openssl(const QStringList& args, const QString& san = QString());

    QTemporaryDir dir_;
    QString error_;
};

// Trusts the test authority through SSL_CERT_FILE while it lives, the way a user trusts
// a private authority; the former value comes back at the end.
class TrustTestAuthority {
public:
    TrustTestAuthority();
    ~TrustTestAuthority();
    TrustTestAuthority(const TrustTestAuthority&) = delete;
    TrustTestAuthority& operator=(const TrustTestAuthority&) = delete;

private:
    QByteArray saved_;
};

} // namespace qbtest
