#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtc880 {

// A JSON value as read back from a file the tool wrote (or anything else: every input is taken as
// untrusted). Strings keep the tool's 8-bit text: \u0000 .. \u00ff become that byte, other code points
// UTF-8.
struct JsonValue {
    enum class Type { null, boolean, number, string, array, object };
    Type type = Type::null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<JsonValue> array;
    std::map<std::string, JsonValue> object; // a repeated key keeps its first value

    // A member of an object, or nullptr when absent or when this is not an object.
    const JsonValue* find(const std::string& key) const;
};

// Reads exactly one value filling the whole text (blanks around it allowed). Returns nothing, and says
// where and why in `problem`, on anything else. Nesting deeper than 64 levels is refused.
std::optional<JsonValue> parseJson(std::string_view text, std::string& problem);

} // namespace vtc880
