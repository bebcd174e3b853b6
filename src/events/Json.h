#pragma once

#include <cstdint>
#include <string>

namespace vtc880 {

// One JSON object, built field by field: enough for the tool's event lines.
class JsonObject {
  public:
    JsonObject& add(const std::string& key, const std::string& value);
    JsonObject& add(const std::string& key, const char* value) { return add(key, std::string(value)); }
    JsonObject& add(const std::string& key, std::int64_t value);
    JsonObject& add(const std::string& key, double value);
    JsonObject& add(const std::string& key, bool value);
    JsonObject& addRaw(const std::string& key, const std::string& json); // an already encoded value
    std::string str() const { return "{" + body + "}"; }

  private:
    std::string body;
    void key(const std::string& name);
};

// A JSON string literal. The tool's text is 8-bit: bytes above 0x7F are taken as Latin-1, so the
// output is always valid UTF-8 whatever a port or file name holds.
std::string jsonString(const std::string& text);

} // namespace vtc880
