// qbyini: the program's own profile-file code on the command line, for scripts and
// support. Reads print the value and a newline; a refused write exits 1, bad usage 2.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <map>

#include "platform/ByteText.h"
#include "platform/Profile.h"

namespace {

const char kUsage[] = "usage: qbyini get FILE SECTION KEY [DEFAULT]\n"
                      "       qbyini get-int FILE SECTION KEY [DEFAULT]\n"
                      "       qbyini get-bool FILE SECTION KEY [DEFAULT]\n"
                      "       qbyini set FILE SECTION KEY VALUE\n"
                      "       qbyini delete FILE SECTION KEY\n"
                      "       qbyini erase FILE SECTION\n"
                      "       qbyini sections FILE\n"
                      "       qbyini section FILE SECTION\n";

// Arguments and output are bytes, converted by the same rule as the files' own text, so
// a value holding the byte 0xFF passes through unchanged.
QString arg(char* text) {
    return platform::textFromBytes(QByteArrayView(text));
}

void printLine(const QString& text) {
    const QByteArray bytes = platform::bytesFromText(text);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

struct Command {
    int minArgs; // after the command word, FILE included
    int maxArgs;
    std::function<void(platform::IniFile&, const QStringList&)> run;
};

// The optional DEFAULT argument of get-int and get-bool; 0 when absent.
int integerDefault(const QStringList& args) {
    bool ok = true;
    const int def = args.size() > 3 ? args[3].trimmed().toInt(&ok) : 0;
    if (!ok)
        throw std::invalid_argument("DEFAULT must be an integer");
    return def;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::map<std::string, Command> commands = {
        {"get",
         {3, 4,
          [](platform::IniFile& f, const QStringList& a) {
              printLine(f.readLines(a[1], a[2], a.value(3)));
          }}},
        {"get-int",
         {3, 4,
          [](platform::IniFile& f, const QStringList& a) {
              printLine(QString::number(f.readInteger(a[1], a[2], integerDefault(a))));
          }}},
        {"get-bool",
         {3, 4,
          [](platform::IniFile& f, const QStringList& a) {
              printLine(f.readBool(a[1], a[2], integerDefault(a) != 0) ? "1" : "0");
          }}},
        {"set",
         {4, 4,
          [](platform::IniFile& f, const QStringList& a) { f.writeString(a[1], a[2], a[3]); }}},
        {"delete",
         {3, 3, [](platform::IniFile& f, const QStringList& a) { f.deleteKey(a[1], a[2]); }}},
        {"erase", {2, 2, [](platform::IniFile& f, const QStringList& a) { f.eraseSection(a[1]); }}},
        {"sections",
         {1, 1,
          [](platform::IniFile& f, const QStringList&) {
              for (const QString& name : f.readSections())
                  printLine(name);
          }}},
        {"section",
         {2, 2,
          [](platform::IniFile& f, const QStringList& a) {
              for (const QString& line : f.readSectionValues(a[1]))
                  printLine(line);
          }}},
    };

    const auto found = argc >= 2 ? commands.find(argv[1]) : commands.end();
    if (found == commands.end() || argc - 2 < found->second.minArgs ||
        argc - 2 > found->second.maxArgs) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args.append(arg(argv[i]));
    platform::IniFile file(args[0]);
    try {
        found->second.run(file, args);
    } catch (const platform::ProfileWriteError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "qbyini: %s\n%s", e.what(), kUsage);
        return 2;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
