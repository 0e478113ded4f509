#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "library/Categories.h"
#include "library/NameValidation.h"
#include "library/Sections.h"

namespace {

using library::NameContext;
using library::nameRefusal;
using library::NameUse;

const QString kSectionChars =
    "Section names cannot contain any of the following characters: \\/:*?\"<>|";
const QString kFolderChars =
    "Folder names cannot contain any of the following characters: \\/:*?\"<>|";
const QString kSectionExists = "That section already exists, please choose another name.";

const NameUse kAllUses[] = {NameUse::NewSection, NameUse::RenameSection, NameUse::NewFolder,
                            NameUse::RenameFolder};

bool isSectionUse(NameUse use) {
    return use == NameUse::NewSection || use == NameUse::RenameSection;
}

QString refusal(NameUse use, const QString& name, const NameContext& context = {}) {
    return nameRefusal(use, name, context).value_or(QString());
}

// Each of the nine characters is refused wherever it stands, and before the emptiness check:
// a name of blanks around it still gets the characters message.
TEST(NameValidation, ForbiddenCharactersAreRefusedWithTheTextOfTheKind) {
    for (const QChar c : QString("\\/:*?\"<>|")) {
        for (NameUse use : kAllUses) {
            const QString expected = isSectionUse(use) ? kSectionChars : kFolderChars;
            for (const QString& name :
                 {QString(c), "Games" + QString(c), QString(c) + "x y", "  " + QString(c) + "  "})
                EXPECT_EQ(refusal(use, name), expected) << int(use) << " " << name.toStdString();
        }
    }
}

TEST(NameValidation, BlankNamesGetTheMessageOfTheirUse) {
    const std::pair<NameUse, QString> cases[] = {
        {NameUse::NewSection, "Please specify a name for the new section."},
        {NameUse::RenameSection, "Please specify a name for the new section."},
        {NameUse::NewFolder, "Please specify a name for the new folder."},
        {NameUse::RenameFolder, "Please specify a name for this folder."},
    };
    for (const auto& [use, message] : cases) {
        for (const QString& name : {QString(), QString("   "), QString(" \t ")})
            EXPECT_EQ(refusal(use, name), message) << int(use);
    }
}

TEST(NameValidation, ExistingNamesAndDirectoriesAreRefused) {
    NameContext listed;
    listed.siblings = {"Programs", "Games", "Research"};
    NameContext onDisk;
    onDisk.directoryExists = true;
    const std::pair<NameUse, QString> cases[] = {
        {NameUse::NewSection, kSectionExists},
        {NameUse::RenameSection, kSectionExists},
        {NameUse::NewFolder,
         "That folder already exists under that section, please choose another name."},
        {NameUse::RenameFolder, "That folder already exists, please choose another name."},
    };
    for (const auto& [use, message] : cases) {
        EXPECT_EQ(refusal(use, "Games", listed), message);
        // A name in another letter case would share the section or record file.
        EXPECT_EQ(refusal(use, "GAMES", listed), message);
        // The store reads names back without surrounding blanks.
        EXPECT_EQ(refusal(use, "  Games ", listed), message);
        EXPECT_FALSE(nameRefusal(use, "Games2", listed));
        EXPECT_FALSE(nameRefusal(use, "Game", listed));
    }
    EXPECT_EQ(refusal(NameUse::NewSection, "Games", onDisk), kSectionExists);
    EXPECT_EQ(refusal(NameUse::RenameSection, "Games", onDisk), kSectionExists);
    EXPECT_EQ(refusal(NameUse::RenameFolder, "Games", onDisk),
              "That folder already exists, please choose another name.");
    // A new folder takes over a directory that is there already.
    EXPECT_FALSE(nameRefusal(NameUse::NewFolder, "Games", onDisk));
}

TEST(NameValidation, NamesThatWouldNotSurviveTheDiskOrTheIniFile) {
    struct Case {
        QString name;
        QString sectionMessage; // the folder message is the same with "Folder"
    };
    const QString control = "Section names cannot contain tabs, line breaks or other control "
                            "characters.";
    const QString dots = "Section names cannot be \".\" or \"..\".";
    const QString quoted = "Section names cannot begin and end with a quotation mark.";
    const QString tooLong = "That name is too long, please choose a shorter one.";
    const Case cases[] = {
        {"a\tb", control},
        {"a\nb", control},
        {"a\rb", control},
        {QString("a") + QChar(0) + "b", control},
        {QString("a") + QChar(0x7f), control},
        {QString("a") + QChar(QChar::LineSeparator) + "b", control},
        {".", dots},
        {"..", dots},
        {" .. ", dots},
        {"'Games'", quoted},
        {QString(library::kMaxNameBytes + 1, 'a'), tooLong},
        // Three bytes a character on disk.
        {QString(library::kMaxNameBytes / 3 + 1, QChar(0x2713)), tooLong},
    };
    for (const Case& c : cases) {
        QString folderMessage = c.sectionMessage;
        folderMessage.replace("Section", "Folder");
        EXPECT_EQ(refusal(NameUse::NewSection, c.name), c.sectionMessage) << c.name.toStdString();
        EXPECT_EQ(refusal(NameUse::RenameSection, c.name), c.sectionMessage);
        EXPECT_EQ(refusal(NameUse::NewFolder, c.name), folderMessage);
        EXPECT_EQ(refusal(NameUse::RenameFolder, c.name), folderMessage);
    }
    for (const QString& fine :
         {QString("..."), QString(".hidden"), QString("it's"), QString("'"), QString("E-Mail"),
          QString("Games [old]"), QString(library::kMaxNameBytes, 'a'),
          QString(library::kMaxNameBytes / 3, QChar(0x2713)), QString::fromUtf8("Música")}) {
        for (NameUse use : kAllUses)
            EXPECT_FALSE(nameRefusal(use, fine)) << fine.toStdString();
    }
}

TEST(NameValidation, SectionsCannotTakeTheNamesOfTheProgramsOwnFiles) {
    for (const QString name : {"Headers", "headers", "HEADERS", "dlmain", "dlMain", " DLMAIN "}) {
        for (NameUse use : {NameUse::NewSection, NameUse::RenameSection}) {
            EXPECT_EQ(refusal(use, name), name.trimmed() + " is the name of one of Quillbay's own "
                                                           "files, please choose another name.");
        }
        // A folder's record file carries its section's name first, so no clash there.
        EXPECT_FALSE(nameRefusal(NameUse::NewFolder, name));
    }
    EXPECT_FALSE(nameRefusal(NameUse::NewSection, "Headers2"));
    EXPECT_FALSE(nameRefusal(NameUse::NewSection, "dlmain.ini"));
}

TEST(NameValidation, TheFirstFailingCheckSpeaks) {
    NameContext everything;
    everything.siblings = {"..", "Headers", "a\tb"};
    everything.directoryExists = true;
    EXPECT_EQ(refusal(NameUse::NewSection, " : ", everything), kSectionChars);
    EXPECT_EQ(refusal(NameUse::NewSection, "a\tb", everything),
              "Section names cannot contain tabs, line breaks or other control characters.");
    EXPECT_EQ(refusal(NameUse::NewSection, "..", everything),
              "Section names cannot be \".\" or \"..\".");
    EXPECT_EQ(refusal(NameUse::NewSection, "Headers", everything),
              "Headers is the name of one of Quillbay's own files, please choose another name.");
}

// What the dialogs check beyond a listed name: the case-blind section files and whatever
// already stands where the directory would go.
TEST(NameValidation, NewSectionAgainstTheLibrary) {
    qbtest::TempHome home;
    const QString root = home.folder() + "lib/";
    library::appendSection("Programs", root + "Programs/");
    EXPECT_EQ(library::newSectionRefusal("programs", root + "elsewhere/programs/"), kSectionExists);
    ASSERT_TRUE(qbtest::writeFile(root + "Notes", "a plain file"));
    EXPECT_EQ(library::newSectionRefusal("Notes", root + "Notes/"), kSectionExists);
    EXPECT_FALSE(library::newSectionRefusal("Video", root + "Video/"));
}

// Section and folder names joined by "-" name the record files, so different pairs can
// spell one file; each of these would mix two lists in one file.
TEST(NameValidation, NamesWhoseLibraryFileAlreadyPlaysAnotherRoleAreRefused) {
    qbtest::TempHome home;
    const QString root = home.folder() + "lib/";
    library::appendSection("A-B", root + "A-B/");
    library::appendCategory("A-B", "C", 1);
    library::appendSection("A", root + "A/");
    library::appendSection("Programs", root + "Programs/");
    library::appendCategory("Programs", "Games", 1);
    library::appendSection("Video-Clips", root + "Video-Clips/");

    const auto refused = [](const std::optional<QString>& refusal, const char* mentions) {
        return refusal && refusal->contains(QLatin1String(mentions));
    };
    // "A" + "B-C" is the record file of "A-B" + "C".
    EXPECT_TRUE(refused(library::newFolderRefusal("B-C", "A"), "\"C\" of the section \"A-B\""));
    EXPECT_TRUE(refused(library::newFolderRefusal("b-c", "A"), "\"A-B\""));
    // A section "Programs-Games" would write its folder list into the records of Games.
    EXPECT_TRUE(refused(library::newSectionRefusal("programs-GAMES", root + "PG/"), "Games"));
    // A folder "Clips" of "Video" would keep its records in the section file of "Video-Clips".
    library::appendSection("Video", root + "Video/");
    EXPECT_TRUE(refused(library::newFolderRefusal("Clips", "Video"), "section \"Video-Clips\""));
    // Ordinary names stay accepted, hyphens included.
    EXPECT_FALSE(library::newFolderRefusal("B-D", "A"));
    EXPECT_FALSE(library::newFolderRefusal("Tools", "Programs"));
    EXPECT_FALSE(library::newSectionRefusal("Music-Live", root + "Music-Live/"));
}

} // namespace
