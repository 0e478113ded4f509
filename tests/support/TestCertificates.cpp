#include "TestCertificates.h"

#include "TestEnvironment.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace qbtest {

namespace {

// Sections for the authority, the server certificates and `openssl ca` (which alone can
// date a certificate in the past). QB_SAN carries each certificate's names.
const char kConfig[] = R"([ req ]
distinguished_name = dn
prompt = no
[ dn ]
CN = placeholder
[ ca_ext ]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[ leaf_ext ]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = ${ENV::QB_SAN}
subjectKeyIdentifier = hash
[ ca ]
default_ca = test_ca
[ test_ca ]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any_name
unique_subject = no
[ any_name ]
commonName = supplied
)";

const QStringList kNewKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"};
const QString kLocal = "DNS:localhost,IP:127.0.0.1";

} // namespace

const TestCertificates& TestCertificates::get() {
    static const TestCertificates certificates;
    return certificates;
}

bool TestCertificates::openssl(const QStringList& args, const QString& san) {
    if (!error_.isEmpty())
        return false;
    QProcess process;
    process.setWorkingDirectory(dir_.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QB_SAN", san.isEmpty() ? kLocal : san);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error_ = "openssl " + args.join(' ') + ": " + QString::fromLocal8Bit(process.readAll()) +
                 process.errorString();
        return false;
    }
    return true;
}

TestCertificates::TestCertificates() {
    writeFile(path("openssl.cnf"), kConfig);
    writeFile(path("index.txt"), {});
    writeFile(path("serial"), "1000\n");
    const QStringList config = {"-config", "openssl.cnf"};
    auto authority = [&](const QString& name, const QString& subject) {
        return openssl(QStringList{"req", "-x509"} + config + QStringList{"-extensions", "ca_ext"} +
                       kNewKey +
                       QStringList{"-keyout", name + ".key", "-out", name + ".pem", "-subj",
                                   "/CN=" + subject, "-days", "3650"});
    };
    auto issued = [&](const QString& name, const QString& ca, const QString& san) {
        QStringList args = QStringList{"req", "-x509"} + config +
                           QStringList{"-extensions", "leaf_ext"} + kNewKey +
                           QStringList{"-keyout", name + ".key",
                                       "-out",    name + ".pem",
                                       "-subj",   "/CN=" + san.section(',', 0, 0).section(':', 1),
                                       "-days",   "30"};
        if (!ca.isEmpty())
            args << "-CA" << ca + ".pem"
                 << "-CAkey" << ca + ".key";
        return openssl(args, san);
    };
    authority("ca", "Quillbay Test CA");
    authority("otherca", "Nobody's Test CA");
    issued("good", "ca", kLocal + ",IP:::1");
    issued("wronghost", "ca", "DNS:other.example");
    issued("selfsigned", QString(), kLocal);
    issued("unknownca", "otherca", kLocal);
    openssl(QStringList{"req", "-new"} + config + kNewKey +
            QStringList{"-keyout", "expired.key", "-out", "expired.csr", "-subj", "/CN=localhost"});
    openssl(QStringList{"ca", "-batch"} + config +
            QStringList{"-extensions", "leaf_ext", "-cert", "ca.pem", "-keyfile", "ca.key", "-in",
                        "expired.csr", "-out", "expired.pem", "-startdate", "20200101000000Z",
                        "-enddate", "20200201000000Z", "-notext"});
}

TrustTestAuthority::TrustTestAuthority() : saved_(qgetenv("SSL_CERT_FILE")) {
    qputenv("SSL_CERT_FILE", TestCertificates::get().caFile().toLocal8Bit());
}

TrustTestAuthority::~TrustTestAuthority() {
    if (saved_.isNull())
        qunsetenv("SSL_CERT_FILE");
    else
        qputenv("SSL_CERT_FILE", saved_);
}

} // namespace qbtest
