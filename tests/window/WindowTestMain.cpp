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
