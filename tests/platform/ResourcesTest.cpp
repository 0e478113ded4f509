#include <gtest/gtest.h>

#include <QDir>
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

TEST(Icons, BuiltInFolderIconsAreAllThereAndDistinct) {
    qbtest::TempHome home;
    // No icon file in the program folder: the program's own icons stand in.
    const QString iconFile = home.file("icons.dll");
    QSet<QByteArray> pictures;
    for (int i = 0; i < platform::kBuiltInIconCount; ++i) {
        const QImage image = platform::iconImageFromFile(iconFile, i);
        ASSERT_EQ(image.size(), QSize(platform::kStripIconSize, platform::kStripIconSize)) << i;
        pictures.insert(
            QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(pictures.size(), platform::kBuiltInIconCount);
    EXPECT_TRUE(platform::iconImageFromFile(iconFile, -1).isNull());
    EXPECT_TRUE(platform::iconImageFromFile(iconFile, platform::kBuiltInIconCount).isNull());
    EXPECT_TRUE(platform::iconFromFile(iconFile, 200).isNull());
    EXPECT_FALSE(platform::iconFromFile(iconFile, 61).isNull());
}

TEST(Icons, AnImageFileIsAStripReadByContentAndReReadWhenChanged) {
    qbtest::TempHome home;
    const QString iconFile = home.file("icons.dll");
    const auto writeStrip = [&](const QList<QColor>& colours) {
        QImage strip(16 * colours.size(), 16, QImage::Format_ARGB32);
        for (int i = 0; i < colours.size(); ++i) {
            for (int x = 0; x < 16; ++x)
                for (int y = 0; y < 16; ++y)
                    strip.setPixelColor(i * 16 + x, y, colours[i]);
        }
        ASSERT_TRUE(strip.save(iconFile, "PNG"));
    };
    writeStrip({Qt::red, Qt::green, Qt::blue});
    EXPECT_EQ(platform::iconImageFromFile(iconFile, 1).pixelColor(5, 5), QColor(Qt::green));
    EXPECT_EQ(platform::iconImageFromFile(iconFile, 2).size(), QSize(16, 16));
    EXPECT_TRUE(platform::iconImageFromFile(iconFile, 3).isNull());

    writeStrip({Qt::black, Qt::white, Qt::yellow, Qt::cyan});
    EXPECT_EQ(platform::iconImageFromFile(iconFile, 1).pixelColor(5, 5), QColor(Qt::white));
    EXPECT_FALSE(platform::iconImageFromFile(iconFile, 3).isNull());

    // Not an image at all: the built-in icons.
    ASSERT_TRUE(writeFile(iconFile, "MZ this is no picture"));
    EXPECT_EQ(platform::iconImageFromFile(iconFile, 61).size(),
              QSize(platform::kStripIconSize, platform::kStripIconSize));
}

TEST(Icons, ApplicationIconIsCompiledIn) {
    const QIcon icon = platform::applicationIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_FALSE(icon.pixmap(32, 32).isNull());
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
}

TEST(Help, AResourcesFolderInTheProgramFolderWins) {
    qbtest::TempHome home;
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
