#pragma once

// Where the build put what the tests run and read. The build writes them into one small source file
// of its own, so that no other file's compilation depends on the folder the project is in: a compiler
// cache then serves a clone in another folder.
namespace built {
const char* tool();       // vtc880
const char* updater();    // vtc880-updater
const char* simProgram(); // vtc880-sim
const char* readme();     // README.md
const char* sourceDir();  // the project's root
} // namespace built
