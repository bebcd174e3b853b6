#include "app/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

using namespace vtc880;

// Writes the program's icon in each size it is installed in, under the directory named as the
// argument: icons/16x16/vtc880-updater.png and icons/32x32/vtc880-updater.png.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vtc880-artwork DATA-DIRECTORY\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QDir data(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 32}) {
        const QString folder = QStringLiteral("icons/%1x%1").arg(size);
        const QString file = data.filePath(folder + QStringLiteral("/vtc880-updater.png"));
        if (!data.mkpath(folder) || !iconPicture(size).save(file)) {
            std::fprintf(stderr, "vtc880-artwork: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
