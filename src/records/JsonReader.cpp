#include "records/JsonReader.h"

#include <cstdlib>

namespace vtc880 {

namespace {

constexpr int maxDepth = 64;

class Reader {
  public:
    explicit Reader(std::string_view text) : text(text) {}

    std::optional<JsonValue> document() {
        std::optional<JsonValue> value = parse(0);
        if (value) {
            blanks();
            if (at < text.size()) {
                fail("text after the value");
                return std::nullopt;
            }
        }
        return value;
    }
    std::string problem;

  private:
    std::string_view text;
    std::size_t at = 0;

    void fail(const std::string& why) {
        if (problem.empty()) {
            problem = why + " at column " + std::to_string(at + 1);
        }
    }
    void blanks() {
        while (at < text.size() &&
               (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) {
            ++at;
        }
    }
    bool literal(std::string_view word) {
        if (text.substr(at, word.size()) != word) {
            return false;
        }
        at += word.size();
        return true;
    }

    std::optional<JsonValue> parse(int depth) {
        blanks();
        if (at >= text.size()) {
            fail("the text ends where a value should be");
            return std::nullopt;
        }
        JsonValue value;
        const char c = text[at];
        if (c == '{' || c == '[') {
            if (depth >= maxDepth) {
                fail("nested too deeply");
                return std::nullopt;
            }
            return c == '{' ? object(depth) : array(depth);
        }
        if (c == '"') {
            std::optional<std::string> s = string();
            if (!s) {
                return std::nullopt;
            }
            value.type = JsonValue::Type::string;
            value.string = std::move(*s);
            return value;
        }
        if (literal("true") || literal("false")) {
            value.type = JsonValue::Type::boolean;
            value.boolean = c == 't';
            return value;
        }
        if (literal("null")) {
            return value;
        }
        return numberValue();
    }

    std::optional<JsonValue> numberValue() {
        const std::size_t start = at;
        const auto digits = [&] {
            const std::size_t from = at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
                ++at;
            }
            return at > from;
        };
        if (at < text.size() && text[at] == '-') {
            ++at;
        }
        if (!digits()) {
            fail("not a value");
            return std::nullopt;
        }
        if (at < text.size() && text[at] == '.') {
            ++at;
            if (!digits()) {
                fail("a number without digits after its point");
                return std::nullopt;
            }
        }
        if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
            ++at;
            if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
                ++at;
            }
            if (!digits()) {
                fail("a number without digits in its exponent");
                return std::nullopt;
            }
        }
        JsonValue value;
        value.type = JsonValue::Type::number;
        const std::string token(text.substr(start, at - start));
        value.number = std::strtod(token.c_str(), nullptr);
        return value;
    }

    std::optional<unsigned> hex4() {
        if (text.size() - at < 4) {
            return std::nullopt;
        }
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text[at++];
            code <<= 4;
            if (c >= '0' && c <= '9') {
                code |= unsigned(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= unsigned(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= unsigned(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
        }
        return code;
    }

    static void append(std::string& out, unsigned code) {
        if (code < 0x100) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    std::optional<std::string> string() {
        ++at; // the opening quote
        std::string out;
        while (at < text.size()) {
            const char c = text[at++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("a control character inside a string");
                return std::nullopt;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at >= text.size()) {
                break;
            }
            const char e = text[at++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::optional<unsigned> code = hex4();
                if (!code) {
                    fail("a bad \\u escape");
                    return std::nullopt;
                }
                if (*code >= 0xD800 && *code < 0xDC00 && text.substr(at, 2) == "\\u") {
                    at += 2;
                    const std::optional<unsigned> low = hex4();
                    if (!low || *low < 0xDC00 || *low >= 0xE000) {
                        fail("a bad surrogate pair");
                        return std::nullopt;
                    }
                    code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
                }
                append(out, *code);
                break;
            }
            default:
                fail("an unknown escape");
                return std::nullopt;
            }
        }
        fail("a string without its closing quote");
        return std::nullopt;
    }

    std::optional<JsonValue> array(int depth) {
        ++at;
        JsonValue value;
        value.type = JsonValue::Type::array;
        blanks();
        if (at < text.size() && text[at] == ']') {
            ++at;
            return value;
        }
        for (;;) {
            std::optional<JsonValue> item = parse(depth + 1);
            if (!item) {
                return std::nullopt;
            }
            value.array.push_back(std::move(*item));
            blanks();
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            if (at < text.size() && text[at] == ']') {
                ++at;
                return value;
            }
            fail("expected ',' or ']'");
            return std::nullopt;
        }
    }

    std::optional<JsonValue> object(int depth) {
        ++at;
        JsonValue value;
        value.type = JsonValue::Type::object;
        blanks();
        if (at < text.size() && text[at] == '}') {
            ++at;
            return value;
        }
        for (;;) {
            blanks();
            if (at >= text.size() || text[at] != '"') {
                fail("expected a member name");
                return std::nullopt;
            }
            std::optional<std::string> key = string();
            if (!key) {
                return std::nullopt;
            }
            blanks();
            if (at >= text.size() || text[at] != ':') {
                fail("expected ':'");
                return std::nullopt;
            }
            ++at;
            std::optional<JsonValue> member = parse(depth + 1);
            if (!member) {
                return std::nullopt;
            }
            value.object.emplace(std::move(*key), std::move(*member));
            blanks();
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            if (at < text.size() && text[at] == '}') {
                ++at;
                return value;
            }
            fail("expected ',' or '}'");
            return std::nullopt;
        }
    }
};

} // namespace

const JsonValue* JsonValue::find(const std::string& key) const {
    if (type != Type::object) {
        return nullptr;
    }
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &it->second;
}

std::optional<JsonValue> parseJson(std::string_view text, std::string& problem) {
    Reader reader(text);
    std::optional<JsonValue> value = reader.document();
    problem = value ? std::string() : reader.problem;
    return value;
}

} // namespace vtc880
