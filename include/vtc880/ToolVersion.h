#pragma once

namespace vtc880 {

// The project's version, as the build system states it (project(VERSION) in CMakeLists.txt).
const char* toolVersion();

} // namespace vtc880
