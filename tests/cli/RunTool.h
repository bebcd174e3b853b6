#pragma once

#include "BuiltPaths.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

// Runs the vtc880 tool as a person or a script would, keeping its exit status and both streams.
struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline ToolRun runTool(const std::string& arguments) {
    const std::string out = "tool.out";
    const std::string err = "tool.err";
    const int status = std::system(
        (std::string(built::tool()) + " " + arguments + " >" + out + " 2>" + err + " </dev/null").c_str());
    ToolRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(out);
    run.err = slurp(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}
