#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// One JSON object whose keys keep their insertion order, written as one line of valid UTF-8:
// bytes of a text that are not UTF-8 (a coder may answer anything) become U+FFFD.
class JsonWriter {
public:
    void Add(const std::string& key, const std::string& value) { object_[key] = value; }
    void Add(const std::string& key, const char* value) { object_[key] = std::string(value); }
    void Add(const std::string& key, int64_t value) { object_[key] = value; }
    void Add(const std::string& key, bool value) { object_[key] = value; }
    void Add(const std::string& key, const std::vector<std::string>& values) {
        object_[key] = values;
    }
    void Add(const std::string& key, const nlohmann::ordered_json& value) { object_[key] = value; }
    void AddNull(const std::string& key) { object_[key] = nullptr; }

    const nlohmann::ordered_json& Object() const { return object_; }
    std::string Text() const { return Line(object_); }

    // Any JSON value as one line, invalid UTF-8 replaced.
    static std::string Line(const nlohmann::ordered_json& value);

private:
    nlohmann::ordered_json object_ = nlohmann::ordered_json::object();
};
