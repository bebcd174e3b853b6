#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

// The window's test classes, run one by one by the test program (each may be picked by its name).
struct WindowTest {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
};

std::vector<WindowTest>& windowTests();

template <typename Test> bool registerWindowTest(const char* name) {
    windowTests().push_back({name, [] { return std::make_unique<Test>(); }});
    return true;
}
