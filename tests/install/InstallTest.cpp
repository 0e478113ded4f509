#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include "InstalledProgram.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"

namespace {

using qbinstall::InstalledCopy;
using qbinstall::run;
using qbtest::readFile;
using qbtest::writeFile;

// Every file the installed program looks for, relative to the prefix.
const char* const kInstalledFiles[] = {
    "bin/quillbay",
    "bin/qbyauto",
    "bin/qbyini",
    "bin/qbyget",
    "lib/quillbay/QBYAuto.dll",
    "share/quillbay/help/index.html",
    "share/quillbay/help/Getting_Started_For_The_First_Time.html",
    "share/quillbay/quillbay.png",
    "share/quillbay/icons.dll",
    "share/applications/quillbay.desktop",
    "share/icons/hicolor/64x64/apps/quillbay.png",
    "share/icons/hicolor/scalable/apps/quillbay.svg",
    "share/metainfo/example.verrin.quillbay.metainfo.xml",
};

TEST(Install, EveryFileLandsWhereTheProgramLooksAndTheDesktopFilesValidate) {
    InstalledCopy copy;
    ASSERT_TRUE(copy.installed()) << qPrintable(copy.error());
    for (const char* file : kInstalledFiles)
        EXPECT_TRUE(QFileInfo(copy.prefix() + file).isFile()) << file;
    EXPECT_TRUE(QFileInfo(copy.prefix() + "bin/quillbay").isExecutable());
    // Test programs, benchmarks and the build's resources folder stay out.
    QDirIterator it(copy.prefix(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = it.next().mid(copy.prefix().size());
        EXPECT_FALSE(name.contains("test") || name.contains("bench") ||
                     name.contains("resources/") || name.endsWith(".ini"))
            << qPrintable(name);
    }
    EXPECT_EQ(readFile(copy.prefix() + "share/icons/hicolor/64x64/apps/quillbay.png"),
              readFile(QStringLiteral(QB_SOURCE_DIR "/resources/quillbay.png")));
    // The scalable icon is a well-formed SVG document that says how large it is drawn.
    QXmlStreamReader svg(
        readFile(copy.prefix() + "share/icons/hicolor/scalable/apps/quillbay.svg"));
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), QStringLiteral("svg"));
    EXPECT_EQ(svg.attributes().value("viewBox"), QStringLiteral("0 0 64 64"));
    while (!svg.atEnd())
        svg.readNext();
    EXPECT_FALSE(svg.hasError()) << qPrintable(svg.errorString());

    struct Validator {
        const char* program;
        QStringList args;
    };
    const Validator validators[] = {
        {"desktop-file-validate", {copy.prefix() + "share/applications/quillbay.desktop"}},
        {"appstreamcli",
         {"validate", "--no-net",
          copy.prefix() + "share/metainfo/example.verrin.quillbay.metainfo.xml"}},
    };
    for (const Validator& v : validators) {
        SCOPED_TRACE(v.program);
        ASSERT_FALSE(QStandardPaths::findExecutable(v.program).isEmpty())
            << v.program << " is not installed (scripts/deps.sh)";
        const qbinstall::Run r = run(v.program, v.args);
        EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
        // desktop-file-validate prints only what is wrong; appstreamcli lists its hints.
        if (QByteArray(v.program) == "desktop-file-validate") {
            EXPECT_EQ(r.out + r.err, "");
        } else {
            EXPECT_FALSE(r.out.contains("W:") || r.out.contains("E:")) << r.out.constData();
        }
    }
}

// The earlier build kept its settings beside the executable; the installed program of a
// user without any override finds them there at its first start.
TEST(Install, AnOldLibraryMovesAtTheFirstStartOnlyAndThePortableMarkerKeepsTheData) {
    InstalledCopy copy;
    ASSERT_TRUE(copy.installed()) << qPrintable(copy.error());
    const QString bin = copy.prefix() + "bin/";
    const QByteArray headers =
        "[Main]\nNumHeads=1\n[Header1]\nName=Programs\nLocation=" + copy.root().toUtf8() +
        "/old/Programs/\n";
    ASSERT_TRUE(writeFile(bin + "dlmain.ini", "[Main]\nFirstRun=0\n"));
    ASSERT_TRUE(writeFile(bin + "Headers.ini", headers));
    ASSERT_TRUE(writeFile(bin + "Programs.ini", "[Main]\nNumCats=0\n"));

    QProcess first;
    ASSERT_TRUE(copy.start(first, copy.environment()));
    const QByteArray said = copy.stop(first);
    EXPECT_TRUE(said.contains("Quillbay: moved the settings and library files (") &&
                said.contains(") from " + bin.toUtf8() + " to " + copy.dataFolder().toUtf8()))
        << said.constData();
    EXPECT_EQ(readFile(copy.dataFolder() + "Headers.ini"), headers);
    EXPECT_TRUE(QFileInfo::exists(copy.dataFolder() + "Programs.ini"));
    EXPECT_TRUE(QDir(bin).entryList({"*.ini"}).isEmpty());
    EXPECT_EQ(QFileInfo(copy.dataFolder()).permissions() & 0x0077, 0) << "private data folder";
    // The old library was no first run: no default library was laid out.
    EXPECT_FALSE(QFileInfo::exists(copy.libraryRoot()));

    QProcess second;
    ASSERT_TRUE(copy.start(second, copy.environment()));
    EXPECT_FALSE(copy.stop(second).contains("moved")) << "a second start moves nothing";
    EXPECT_EQ(readFile(copy.dataFolder() + "Headers.ini"), headers);

    // The portable marker keeps the data beside the executable: a first run there, which
    // ends by recording that it ran; its library still goes where downloads go.
    ASSERT_TRUE(writeFile(bin + "portable", ""));
    QProcess portable;
    ASSERT_TRUE(copy.start(portable, copy.environment()));
    EXPECT_TRUE(qbtest::pumpUntil(
        [&] { return readFile(bin + "dlmain.ini").contains("FirstRun=0"); }, 20000));
    copy.stop(portable);
    EXPECT_TRUE(QFileInfo::exists(bin + "Headers.ini"));
    EXPECT_EQ(readFile(copy.dataFolder() + "Headers.ini"), headers);
    EXPECT_TRUE(QFileInfo(copy.libraryRoot() + "Programs").isDir());
}

TEST(Package, TheDebianPackageHoldsTheInstalledFilesAndNamesItsDependencies) {
    ASSERT_FALSE(QStandardPaths::findExecutable("cpack").isEmpty());
    QTemporaryDir out;
    const qbinstall::Run pack =
        run("cpack",
            {"-G", "DEB", "--config", qbinstall::buildFolder() + "/CPackConfig.cmake", "-B",
             out.path()},
            QProcessEnvironment::systemEnvironment(), 300000);
    ASSERT_EQ(pack.exitCode, 0) << pack.out.constData() << pack.err.constData();
    const QStringList debs = QDir(out.path()).entryList({"quillbay_*.deb"});
    ASSERT_EQ(debs.size(), 1) << pack.out.constData();
    const QString deb = out.path() + "/" + debs[0];

    const qbinstall::Run contents = run("dpkg-deb", {"--contents", deb});
    ASSERT_EQ(contents.exitCode, 0) << contents.err.constData();
    for (const char* file : kInstalledFiles)
        EXPECT_TRUE(contents.out.contains(" ./usr/" + QByteArray(file) + "\n")) << file;
    EXPECT_FALSE(contents.out.contains("test_")) << contents.out.constData();

    const qbinstall::Run fields = run("dpkg-deb", {"--field", deb, "Package", "Depends"});
    ASSERT_EQ(fields.exitCode, 0) << fields.err.constData();
    EXPECT_TRUE(fields.out.startsWith("Package: quillbay\n")) << fields.out.constData();
    // The dependencies are those of the libraries the programs link against.
    for (const char* package : {"libc6", "libqt6widgets6", "libqt6core6", "libxcb1", "liblz4-1"})
        EXPECT_TRUE(fields.out.contains(package)) << package << "\n" << fields.out.constData();
}

} // namespace
