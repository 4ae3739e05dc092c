#include "cli/JsonWriter.h"

#include <cstdio>

std::string JsonWriter::Quote(const std::string& text) {
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
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;  // UTF-8 passes through
                }
        }
    }
    return out + "\"";
}

void JsonWriter::AddRaw(const std::string& key, const std::string& json) {
    members_.push_back(Quote(key) + ": " + json);
}

void JsonWriter::Add(const std::string& key, const std::string& value) {
    AddRaw(key, Quote(value));
}

void JsonWriter::Add(const std::string& key, int64_t value) {
    AddRaw(key, std::to_string(value));
}

void JsonWriter::Add(const std::string& key, bool value) {
    AddRaw(key, value ? "true" : "false");
}

void JsonWriter::Add(const std::string& key, const std::vector<std::string>& values) {
    std::string list = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        list += (i > 0 ? ", " : "") + Quote(values[i]);
    }
    AddRaw(key, list + "]");
}

std::string JsonWriter::Text() const {
    std::string text = "{";
    for (size_t i = 0; i < members_.size(); ++i) {
        text += (i > 0 ? ", " : "") + members_[i];
    }
    return text + "}";
}
