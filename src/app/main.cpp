#include "app/Artwork.h"
#include "app/CommandTail.h"
#include "app/MainForm.h"
#include "vtc880/ImageBuilder.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace vtc880;

// A word containing ".ini" packs an image from that recipe and no window opens; otherwise the
// remaining word names the firmware file the update sends. --help and --version only print.
int main(int argc, char** argv) {
    const EntryPlan plan = splitCommandTail(commandTail(argc, argv));
    if (plan.help || plan.version) {
        std::fputs((plan.help ? usageText() : versionText()).c_str(), stdout);
        return 0;
    }
    for (const std::string& recipe : plan.recipes) {
        ExtractIni(recipe);
    }
    if (plan.packaging()) {
        return 0; // before any GUI: packaging runs where there is no display
    }
    // Only the program's name: every word of the command line is the updater's own, none is an
    // option for the GUI library.
    int guiArgc = 1;
    QApplication application(guiArgc, argv);
    QApplication::setDesktopFileName(QStringLiteral("vtc880-updater"));
    QApplication::setWindowIcon(programIcon());
    MainForm window(plan.fileName);
    window.show();
    QApplication::exec();
    // A worker still running was asked to stop when the window closed and ends at its next poll.
    // Should it not within the limit, the process ends anyway: update mode writes no files and keeps
    // no buffered output, and the system closes the port.
    if (!window.stopUpdate(std::chrono::seconds(3))) {
        std::_Exit(0);
    }
    return 0;
}
