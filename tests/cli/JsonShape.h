#pragma once

#include <cctype>
#include <map>
#include <optional>
#include <string>

// The shape of one JSON object: each field's type ("string", "integer", "number", "boolean",
// "object", "array", "null"), fields of a nested object as "outer.inner". Empty when the text is
// not exactly one well-formed object.
class JsonShape {
  public:
    static std::optional<std::map<std::string, std::string>> of(const std::string& text) {
        JsonShape parser(text);
        std::map<std::string, std::string> fields;
        parser.skipBlanks();
        if (!parser.object("", fields)) {
            return std::nullopt;
        }
        parser.skipBlanks();
        if (parser.at != text.size()) {
            return std::nullopt;
        }
        return fields;
    }

    // The string value of a top-level field, for the `event` and the like.
    static std::string stringField(const std::string& text, const std::string& key) {
        const std::string marker = "\"" + key + "\":\"";
        const std::size_t from = text.find(marker);
        if (from == std::string::npos) {
            return {};
        }
        return text.substr(from + marker.size(), text.find('"', from + marker.size()) - from - marker.size());
    }

  private:
    explicit JsonShape(const std::string& text) : text(text) {}

    void skipBlanks() {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) {
            ++at;
        }
    }

    bool literal(const char* word) {
        const std::string w(word);
        if (text.compare(at, w.size(), w) != 0) {
            return false;
        }
        at += w.size();
        return true;
    }

    bool string(std::string* out) {
        if (at >= text.size() || text[at] != '"') {
            return false;
        }
        std::string value;
        for (++at; at < text.size() && text[at] != '"'; ++at) {
            if (static_cast<unsigned char>(text[at]) < 0x20) {
                return false;
            }
            if (text[at] == '\\') {
                ++at;
                if (at >= text.size() || std::string("\"\\/bfnrtu").find(text[at]) == std::string::npos) {
                    return false;
                }
            }
            value += text[at];
        }
        if (at >= text.size()) {
            return false;
        }
        ++at;
        if (out != nullptr) {
            *out = value;
        }
        return true;
    }

    // A value; its type in `type`, the fields of an object into `fields` under `path`.
    bool value(const std::string& path, std::map<std::string, std::string>& fields, std::string& type) {
        skipBlanks();
        if (at >= text.size()) {
            return false;
        }
        const char c = text[at];
        if (c == '"') {
            type = "string";
            return string(nullptr);
        }
        if (c == '{') {
            type = "object";
            return object(path + ".", fields);
        }
        if (c == '[') {
            type = "array";
            ++at;
            skipBlanks();
            if (at < text.size() && text[at] == ']') {
                ++at;
                return true;
            }
            for (;;) {
                std::map<std::string, std::string> ignored;
                std::string element;
                if (!value(path + "[]", ignored, element)) {
                    return false;
                }
                skipBlanks();
                if (at < text.size() && text[at] == ',') {
                    ++at;
                    continue;
                }
                return at < text.size() && text[at++] == ']';
            }
        }
        if (literal("true") || literal("false")) {
            type = "boolean";
            return true;
        }
        if (literal("null")) {
            type = "null";
            return true;
        }
        const std::size_t start = at;
        if (text[at] == '-') {
            ++at;
        }
        bool fraction = false;
        while (at < text.size() &&
               (std::isdigit(static_cast<unsigned char>(text[at])) != 0 || text[at] == '.' ||
                text[at] == 'e' || text[at] == 'E' || text[at] == '+' || text[at] == '-')) {
            fraction = fraction || !std::isdigit(static_cast<unsigned char>(text[at]));
            ++at;
        }
        type = fraction ? "number" : "integer";
        return at > start && std::isdigit(static_cast<unsigned char>(text[at - 1])) != 0;
    }

    bool object(const std::string& prefix, std::map<std::string, std::string>& fields) {
        if (at >= text.size() || text[at] != '{') {
            return false;
        }
        ++at;
        skipBlanks();
        if (at < text.size() && text[at] == '}') {
            ++at;
            return true;
        }
        for (;;) {
            skipBlanks();
            std::string key;
            if (!string(&key)) {
                return false;
            }
            skipBlanks();
            if (at >= text.size() || text[at++] != ':') {
                return false;
            }
            std::string type;
            if (fields.count(prefix + key) > 0 || !value(prefix + key, fields, type)) {
                return false; // a key twice is no object a program can read
            }
            fields[prefix + key] = type;
            skipBlanks();
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            return at < text.size() && text[at++] == '}';
        }
    }

    const std::string& text;
    std::size_t at = 0;
};
