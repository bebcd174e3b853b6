#pragma once

// The project's version, as the build system states it (project(VERSION) in CMakeLists.txt).
const char* toolVersion();
