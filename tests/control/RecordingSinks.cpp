#include "RecordingSinks.h"

#include <algorithm>

using namespace vtc880;

std::vector<std::string> RecordingSinks::all() const {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

std::vector<std::string> RecordingSinks::of(const std::string& kind) const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> values;
    const std::string prefix = kind + ":";
    for (const std::string& call : calls) {
        if (call.rfind(prefix, 0) == 0) {
            values.push_back(call.substr(prefix.size()));
        } else if (call == kind) {
            values.push_back("");
        }
    }
    return values;
}

std::vector<Message> RecordingSinks::messages() const {
    std::lock_guard<std::mutex> lock(mutex);
    return boxes;
}

bool RecordingSinks::has(const std::string& call) const {
    std::lock_guard<std::mutex> lock(mutex);
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}
