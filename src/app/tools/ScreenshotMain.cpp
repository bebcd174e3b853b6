#include "app/MainForm.h"

#include <QApplication>
#include <cstdio>

using namespace vtc880;

// Saves a picture of the window as it opens to the PNG file named as the argument. Runs without a
// display (the offscreen platform) unless QT_QPA_PLATFORM says otherwise.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vtc880-screenshot FILE.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    MainForm window("");
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "vtc880-screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
