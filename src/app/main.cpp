#include "app/CommandTail.h"
#include "image/ImageBuilder.h"

// A word containing ".ini" packs an image from that recipe and no window opens; otherwise the
// remaining word names the firmware file the update sends.
int main(int argc, char** argv) {
    const EntryPlan plan = splitCommandTail(commandTail(argc, argv));
    for (const std::string& recipe : plan.recipes) {
        ExtractIni(recipe);
    }
    if (plan.packaging()) {
        return 0;
    }
    // Update mode: the window opens here once it exists.
    return 0;
}
