// Writes the program icon, drawn in code, as PNG files for installation:
// <folder>/hicolor/<n>x<n>/apps/quillmere.png for every size the desktop
// icon theme expects. Runs at build time.

#include "ui/CArtwork.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: quillmere_icons FOLDER\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!root.mkpath(folder)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(root.filePath(folder)));
            return 1;
        }
        const QString file = root.filePath(folder + QStringLiteral("/quillmere.png"));
        if (!qm::CArtwork::ProgramIconImage(size).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
