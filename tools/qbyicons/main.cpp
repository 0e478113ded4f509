// qbyicons: writes the program's folder icon file. The build runs it so that the shipped
// file always holds what the drawing code draws. Exits 1 when the file cannot be written.
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>

#include "platform/ShellIcons.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: qbyicons OUTPUT-FILE\n", stderr);
        return 2;
    }
    // Drawing needs no screen; the build may run without one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QList<QImage> icons;
    for (int i = 0; i < platform::kShippedIconCount; ++i)
        icons.append(platform::drawShippedIcon(i));
    QSaveFile file(QFile::decodeName(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(platform::iconFileBytes(icons)) < 0 ||
        !file.commit()) {
        std::fprintf(stderr, "qbyicons: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
