#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds one flat JSON object; keys keep their insertion order.
class JsonWriter {
public:
    void Add(const std::string& key, const std::string& value);
    void Add(const std::string& key, const char* value) { Add(key, std::string(value)); }
    void Add(const std::string& key, int64_t value);
    void Add(const std::string& key, bool value);
    void Add(const std::string& key, const std::vector<std::string>& values);
    std::string Text() const;

    static std::string Quote(const std::string& text);

private:
    void AddRaw(const std::string& key, const std::string& json);
    std::vector<std::string> members_;
};
