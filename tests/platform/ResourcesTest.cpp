#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>

#include "TestEnvironment.h"
#include "platform/Help.h"
#include "platform/Resources.h"
#include "platform/ShellIcons.h"

using qbtest::readFile;
using qbtest::writeFile;

namespace {

QByteArray pixels(const QImage& image) {
    const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    return QByteArray(reinterpret_cast<const char*>(plain.constBits()), plain.sizeInBytes());
}

// Dark strokes inside the folder's body: the picture drawn on it.
bool hasPicture(const QImage& image) {
    for (int y = 11; y < 27; ++y)
        for (int x = 5; x < 28; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200 && c.red() < 90 && c.green() < 90 && c.blue() < 90)
                return true;
        }
    return false;
}

} // namespace

TEST(Icons, TheShippedFileHoldsTheDrawnIconsPicturesWhereTheDefaultLibraryLooks) {
    // The build draws the file beside the executable; the program reads it by index.
    const QString iconFile = platform::folderIconFile("icons.dll");
    ASSERT_EQ(iconFile, QString(QB_BIN_DIR) + "/resources/icons.dll");
    ASSERT_TRUE(readFile(iconFile).startsWith("QBYICONS"));
    EXPECT_EQ(platform::pictureIconIndexes(), QList<int>({1, 3, 15, 21, 30, 32, 39, 43, 44, 46}));
    QSet<QByteArray> distinct{pixels(platform::plainFolderImage())};
    for (int i = 0; i < platform::kShippedIconCount; ++i) {
        SCOPED_TRACE(i);
        const QImage image = platform::iconImageFromFile(iconFile, i);
        ASSERT_EQ(image.size(), QSize(platform::kFolderIconSize, platform::kFolderIconSize));
        EXPECT_EQ(pixels(image), pixels(platform::drawShippedIcon(i)));
        EXPECT_EQ(hasPicture(image), platform::pictureIconIndexes().contains(i));
        distinct.insert(pixels(image));
    }
    // Every icon differs from every other and from the plain stand-in.
    EXPECT_EQ(distinct.size(), platform::kShippedIconCount + 1);
    EXPECT_FALSE(hasPicture(platform::plainFolderImage()));
    for (int outside : {-1, platform::kShippedIconCount, 1000})
        EXPECT_EQ(pixels(platform::iconImageFromFile(iconFile, outside)),
                  pixels(platform::plainFolderImage()))
            << outside;
    EXPECT_EQ(platform::folderIconFile("/elsewhere/mine.dll"), "/elsewhere/mine.dll");
    EXPECT_FALSE(platform::applicationIcon().pixmap(32, 32).isNull()) << "compiled in";
}

TEST(Icons, AMissingOrDamagedFileGivesPlainFoldersAndAChangedFileIsReadAgain) {
    qbtest::TempHome home;
    const QString iconFile = home.file("icons.dll");
    const QByteArray plain = pixels(platform::plainFolderImage());
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QImage blue(16, 16, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    const QByteArray good = platform::iconFileBytes({red, blue});
    ASSERT_TRUE(writeFile(iconFile, good));
    EXPECT_EQ(platform::iconImageFromFile(iconFile, 1).pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(pixels(platform::iconImageFromFile(iconFile, 2)), plain);

    QByteArray badVersion = good;
    badVersion[8] = 2;
    QByteArray tooMany = good;
    tooMany[10] = char(0xff);
    tooMany[11] = char(0xff);
    QByteArray hugeLength = good;
    hugeLength[15] = char(0x7f);
    const struct {
        const char* name;
        QByteArray bytes;
    } damaged[] = {
        {"empty", ""},
        {"not ours", "MZ\x90\x00 a Windows library"},
        {"header only", good.left(10)},
        {"version 2", badVersion},
        {"too many entries", tooMany},
        {"length past the end", hugeLength},
        {"cut short", good.chopped(1)},
        {"trailing bytes", good + "x"},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.name);
        ASSERT_TRUE(writeFile(iconFile, d.bytes));
        for (int i : {0, 1, 61})
            EXPECT_EQ(pixels(platform::iconImageFromFile(iconFile, i)), plain) << i;
    }

    // One entry that is no picture: only that folder goes plain.
    QByteArray badEntry = good;
    const int secondPng = badEntry.indexOf("\x89PNG", 21);
    ASSERT_GT(secondPng, 0);
    badEntry[secondPng + 1] = 'X';
    ASSERT_TRUE(writeFile(iconFile, badEntry));
    EXPECT_EQ(platform::iconImageFromFile(iconFile, 0).pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(pixels(platform::iconImageFromFile(iconFile, 1)), plain);

    ASSERT_TRUE(QFile::remove(iconFile));
    EXPECT_EQ(pixels(platform::iconImageFromFile(iconFile, 0)), plain);
    EXPECT_FALSE(platform::iconFromFile(iconFile, 0).isNull());
}

TEST(Help, TopicsResolveToShippedPagesAndNeverLeaveTheHelpFolder) {
    qbtest::TempHome home;
    const QString help = QString(QB_BIN_DIR) + "/resources/help/";
    // The build copies the pages beside the executable, and the program finds them there
    // even when its program folder is elsewhere.
    EXPECT_EQ(platform::resourceFolder(), QString(QB_BIN_DIR) + "/resources/");
    EXPECT_EQ(platform::helpPage(), help + "index.html");
    EXPECT_EQ(platform::helpPage(platform::kGettingStartedTopic),
              help + "Getting_Started_For_The_First_Time.html");
    EXPECT_EQ(readFile(platform::helpPage(platform::kGettingStartedTopic)),
              readFile(QString(QB_SOURCE_DIR) +
                       "/resources/help/Getting_Started_For_The_First_Time.html"));
    for (const QString topic : {"No_Such_Topic", "../../etc/passwd", "index/../x", ""})
        EXPECT_EQ(platform::helpPage(topic), help + "index.html") << topic.toStdString();

    platform::openHelp(platform::kGettingStartedTopic);
    EXPECT_EQ(home.shellLog(),
              QStringList({"open\t" + help + "Getting_Started_For_The_First_Time.html"}));

    // A resources folder in the program folder wins.
    ASSERT_TRUE(writeFile(home.file("resources/help/index.html"), "<html></html>"));
    EXPECT_EQ(platform::helpPage("Anything"), home.file("resources/help/index.html"));
}

TEST(Help, EveryLinkOfTheShippedPagesLeadsToAShippedFile) {
    const QString help = QString(QB_SOURCE_DIR) + "/resources/help/";
    const QRegularExpression link(R"((?:href|src)="([^"#:]+)[^"]*")");
    for (const QString& page : QDir(help).entryList({"*.html"})) {
        const QString html = QString::fromUtf8(readFile(help + page));
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFileInfo::exists(help + target))
                << page.toStdString() << " -> " << target.toStdString();
        }
    }
}
