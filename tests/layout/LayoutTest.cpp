#include "BuiltPaths.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

// How the sources hang together, read from their #include lines: front ends come in through the
// public headers only, the library never reaches up into a front end, and neither files nor folders
// include each other in a circle.

namespace {

namespace fs = std::filesystem;

const fs::path root = built::sourceDir();

// Folders of front ends: what they include is the public API, their own folders' headers, and the
// simulated device (which stands for the device, not for the library).
const std::map<std::string, std::set<std::string>> frontEnds{
    {"cli", {"cli", "terminal", "sim"}},
    {"terminal", {"terminal"}},
    {"app", {"app", "sim"}},
    {"python", {"python", "sim"}},
};

// The one file that measures an alternative to the library's own link, and so builds on it.
const std::set<std::string> buildsOnTheInside{"bench/ByteWiseLink.cpp"};

struct Source {
    std::string path;                  // from the project's root
    std::vector<std::string> includes; // quoted, as written
};

std::vector<Source> sources() {
    std::vector<Source> all;
    const std::regex quoted(R"re(^\s*#\s*include\s+"([^"]+)")re");
    for (const char* top : {"src", "include", "bench"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) {
                continue;
            }
            Source source{fs::relative(entry.path(), root).generic_string(), {}};
            std::ifstream in(entry.path());
            std::smatch match;
            for (std::string line; std::getline(in, line);) {
                if (std::regex_search(line, match, quoted)) {
                    source.includes.push_back(match[1]);
                }
            }
            all.push_back(std::move(source));
        }
    }
    return all;
}

std::string firstPart(const std::string& path) {
    return path.substr(0, path.find('/'));
}

// The folder under src/ that a file belongs to; a public header belongs to the folder of the file
// that implements it (Command.h: control). A public header that nothing implements (a struct, a table
// of constants) belongs to no folder: the folders that include it are taken to include what it does.
std::string folderOf(const std::string& path, const std::map<std::string, std::string>& implementedIn) {
    if (path.rfind("src/", 0) == 0) {
        return firstPart(path.substr(4));
    }
    if (path.rfind("include/vtc880/", 0) == 0) {
        const auto at = implementedIn.find(fs::path(path).stem().string());
        return at != implementedIn.end() ? at->second : std::string();
    }
    return firstPart(path);
}

std::string resolved(const std::string& from, const std::string& include) {
    if (include.rfind("vtc880/", 0) == 0) {
        return "include/" + include;
    }
    if (include.find('/') == std::string::npos || include.rfind("../", 0) == 0) {
        return (fs::path(from).parent_path() / include).lexically_normal().generic_string();
    }
    return "src/" + include;
}

TEST(Layout, PublicHeadersIncludeOnlyPublicHeaders) {
    for (const Source& source : sources()) {
        if (source.path.rfind("include/", 0) != 0) {
            continue;
        }
        for (const std::string& include : source.includes) {
            EXPECT_EQ(include.rfind("vtc880/", 0), 0u) << source.path << " includes " << include;
        }
    }
}

TEST(Layout, FrontEndsIncludeOnlyThePublicApi) {
    std::size_t checked = 0;
    for (const Source& source : sources()) {
        if (buildsOnTheInside.count(source.path) == 1) {
            continue;
        }
        const bool bench = source.path.rfind("bench/", 0) == 0;
        const auto frontEnd = source.path.rfind("src/", 0) == 0
                                  ? frontEnds.find(firstPart(source.path.substr(4)))
                                  : frontEnds.end();
        if (!bench && frontEnd == frontEnds.end()) {
            continue;
        }
        ++checked;
        for (const std::string& include : source.includes) {
            const std::string folder = include.find('/') == std::string::npos ? "" : firstPart(include);
            const bool allowed = folder == "vtc880" || (bench && (folder.empty() || folder == "sim")) ||
                                 (frontEnd != frontEnds.end() && frontEnd->second.count(folder) == 1);
            EXPECT_TRUE(allowed) << source.path << " includes " << include
                                 << ": a front end comes in through include/vtc880";
        }
    }
    EXPECT_GT(checked, 50u);
}

TEST(Layout, TheLibraryNeverReachesIntoAFrontEnd) {
    for (const Source& source : sources()) {
        if (source.path.rfind("src/", 0) != 0 && source.path.rfind("include/", 0) != 0) {
            continue;
        }
        const std::string folder = firstPart(source.path.substr(source.path.find('/') + 1));
        if (frontEnds.count(folder) == 1 || folder == "sim") {
            continue;
        }
        for (const std::string& include : source.includes) {
            const std::string to = firstPart(include);
            EXPECT_TRUE(frontEnds.count(to) == 0 && to != "sim") << source.path << " includes " << include;
        }
    }
}

// A circle as the names along it, or empty when the graph has none.
std::vector<std::string> circleIn(const std::map<std::string, std::set<std::string>>& edges) {
    std::map<std::string, int> state; // 1: on the path, 2: done
    std::vector<std::string> path;
    std::vector<std::string> found;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        const auto out = edges.find(node);
        if (out != edges.end()) {
            for (const std::string& next : out->second) {
                if (state[next] == 1) {
                    found.assign(std::find(path.begin(), path.end(), next), path.end());
                    found.push_back(next);
                    return true;
                }
                if (state[next] == 0 && visit(next)) {
                    return true;
                }
            }
        }
        path.pop_back();
        state[node] = 2;
        return false;
    };
    for (const auto& [node, out] : edges) {
        if (state[node] == 0 && visit(node)) {
            break;
        }
    }
    return found;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : " -> ") + name;
    }
    return text;
}

TEST(Layout, NoFileOrFolderIncludesItselfThroughOthers) {
    const std::vector<Source> all = sources();
    std::map<std::string, std::string> implementedIn;
    for (const Source& source : all) {
        if (source.path.rfind("src/", 0) == 0 && fs::path(source.path).extension() == ".cpp") {
            implementedIn.try_emplace(fs::path(source.path).stem().string(), folderOf(source.path, {}));
        }
    }
    std::map<std::string, std::set<std::string>> files;
    for (const Source& source : all) {
        for (const std::string& include : source.includes) {
            files[source.path].insert(resolved(source.path, include));
        }
    }
    // The folders a file includes, through the public headers that belong to none.
    std::function<void(const std::string&, std::set<std::string>&, std::set<std::string>&)> reach =
        [&](const std::string& file, std::set<std::string>& into, std::set<std::string>& seen) {
            for (const std::string& target : files[file]) {
                if (!seen.insert(target).second) {
                    continue;
                }
                const std::string folder = folderOf(target, implementedIn);
                if (folder.empty()) {
                    reach(target, into, seen);
                } else {
                    into.insert(folder);
                }
            }
        };
    std::map<std::string, std::set<std::string>> folders;
    for (const Source& source : all) {
        const std::string from = folderOf(source.path, implementedIn);
        if (from.empty() || from == "bench") {
            continue;
        }
        std::set<std::string> to;
        std::set<std::string> seen;
        reach(source.path, to, seen);
        to.erase(from);
        folders[from].insert(to.begin(), to.end());
    }
    EXPECT_EQ(joined(circleIn(files)), "") << "files that include themselves through others";
    EXPECT_EQ(joined(circleIn(folders)), "") << "folders that include themselves through others";
}

} // namespace
