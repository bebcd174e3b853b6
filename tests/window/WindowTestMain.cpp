#include "WindowTests.h"

#include <QApplication>
#include <QTest>
#include <cstring>

std::vector<WindowTest>& windowTests() {
    static std::vector<WindowTest> tests;
    return tests;
}

// test_window [CLASS] [Qt Test options]: runs every test class, or the one named.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> arguments(argv, argv + argc);
    if (only != nullptr) {
        arguments.erase(arguments.begin() + 1);
    }
#ifdef VTC880_NO_QTEST_WATCHDOG
    // Under ThreadSanitizer: Qt Test's watchdog thread is joined through Qt's own locks, which it
    // cannot see, so its teardown is reported as a race. Qt Test starts none for a callgrind child
    // (nothing here is a benchmark, so the option changes nothing else); ctest's time-out still
    // stops a test that hangs.
    static char noWatchdog[] = "-callgrindchild";
    arguments.insert(arguments.begin() + 1, noWatchdog);
#endif
    int failures = 0;
    bool ran = false;
    for (const WindowTest& test : windowTests()) {
        if (only != nullptr && std::strcmp(only, test.name) != 0) {
            continue;
        }
        ran = true;
        const std::unique_ptr<QObject> object = test.make();
        failures += QTest::qExec(object.get(), int(arguments.size()), arguments.data());
    }
    return ran ? failures : 1;
}
