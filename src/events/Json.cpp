#include "events/Json.h"

#include <cstdio>

namespace vtc880 {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(byte));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void JsonObject::key(const std::string& name) {
    if (!body.empty()) {
        body += ',';
    }
    body += jsonString(name) + ':';
}

JsonObject& JsonObject::add(const std::string& name, const std::string& value) {
    key(name);
    body += jsonString(value);
    return *this;
}

JsonObject& JsonObject::add(const std::string& name, std::int64_t value) {
    key(name);
    body += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::add(const std::string& name, double value) {
    key(name);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    body += text;
    return *this;
}

JsonObject& JsonObject::add(const std::string& name, bool value) {
    key(name);
    body += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::addRaw(const std::string& name, const std::string& json) {
    key(name);
    body += json;
    return *this;
}

} // namespace vtc880
