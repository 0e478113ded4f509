#include "library/NameValidation.h"

#include <QFileInfo>

#include "library/Categories.h"
#include "library/Sections.h"

namespace library {

namespace {

const QString kForbidden = QStringLiteral("\\/:*?\"<>|");

// The ini files of the program itself, which a section file "<name>.ini" would replace.
const char* const kProgramFiles[] = {"Headers", "dlmain"};

bool isSection(NameUse use) {
    return use == NameUse::NewSection || use == NameUse::RenameSection;
}

// "Section" or "Folder", as the messages begin.
QString kindWord(NameUse use) {
    return isSection(use) ? QStringLiteral("Section") : QStringLiteral("Folder");
}

// The messages of the empty and the existing name, by use.
struct UseTexts {
    const char* empty;
    const char* exists;
};

UseTexts textsOf(NameUse use) {
    switch (use) {
    case NameUse::NewSection:
    case NameUse::RenameSection:
        return {"Please specify a name for the new section.",
                "That section already exists, please choose another name."};
    case NameUse::NewFolder:
        return {"Please specify a name for the new folder.",
                "That folder already exists under that section, please choose another name."};
    case NameUse::RenameFolder:
        break;
    }
    return {"Please specify a name for this folder.",
            "That folder already exists, please choose another name."};
}

bool hasForbiddenCharacter(const QString& name) {
    for (QChar c : name) {
        if (kForbidden.contains(c))
            return true;
    }
    return false;
}

bool hasControlCharacter(const QString& name) {
    for (QChar c : name) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return true;
    }
    return false;
}

// A value in single quotes reads back without them, so the name would change on its way
// through the ini file (double quotes are forbidden anyway).
bool isQuoted(const QString& name) {
    return name.size() >= 2 && name.startsWith('\'') && name.endsWith('\'');
}

bool isProgramFile(const QString& name) {
    for (const char* file : kProgramFiles) {
        if (sameLibraryName(name, QString::fromLatin1(file)))
            return true;
    }
    return false;
}

} // namespace

QString libraryName(const QString& typed) {
    return typed.trimmed();
}

bool sameLibraryName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

std::optional<QString> nameRefusal(NameUse use, const QString& typed, const NameContext& context) {
    const QString kind = kindWord(use);
    if (hasForbiddenCharacter(typed))
        return kind + " names cannot contain any of the following characters: " + kForbidden;
    const QString name = libraryName(typed);
    if (name.isEmpty())
        return textsOf(use).empty;
    if (hasControlCharacter(name))
        return kind + " names cannot contain tabs, line breaks or other control characters.";
    if (name == "." || name == "..")
        return kind + " names cannot be \".\" or \"..\".";
    if (isQuoted(name))
        return kind + " names cannot begin and end with a quotation mark.";
    if (name.toUtf8().size() > kMaxNameBytes)
        return QStringLiteral("That name is too long, please choose a shorter one.");
    if (isSection(use) && isProgramFile(name))
        return QString("%1 is the name of one of Quillbay's own files, please choose another "
                       "name.")
            .arg(name);
    if (use != NameUse::NewFolder && context.directoryExists)
        return textsOf(use).exists;
    for (const QString& sibling : context.siblings) {
        if (sameLibraryName(sibling, name))
            return textsOf(use).exists;
    }
    return std::nullopt;
}

std::optional<QString> sharedFileRefusal(const QString& fileName) {
    const auto clash = [&](const QString& other) { return sameLibraryName(fileName, other); };
    for (const QString& section : sectionNames()) {
        if (clash(section))
            return QString("That name would share the library file of the section \"%1\", "
                           "please choose another name.")
                .arg(section);
        for (const QString& folder : categoryNames(section)) {
            if (clash(section + '-' + folder))
                return QString("That name would share the library file of the folder \"%1\" "
                               "of the section \"%2\", please choose another name.")
                    .arg(folder, section);
        }
    }
    return std::nullopt;
}

std::optional<QString> newSectionRefusal(const QString& typed, const QString& location) {
    NameContext context;
    // Anything at that path blocks the directory, a plain file too; with its trailing "/"
    // a file would not be seen.
    QString path = location;
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    context.directoryExists = !path.isEmpty() && QFileInfo::exists(path);
    context.siblings = sectionNames();
    if (auto refusal = nameRefusal(NameUse::NewSection, typed, context))
        return refusal;
    return sharedFileRefusal(libraryName(typed));
}

std::optional<QString> newFolderRefusal(const QString& typed, const QString& section) {
    NameContext context;
    context.siblings = categoryNames(section);
    if (auto refusal = nameRefusal(NameUse::NewFolder, typed, context))
        return refusal;
    return sharedFileRefusal(section + '-' + libraryName(typed));
}

} // namespace library
