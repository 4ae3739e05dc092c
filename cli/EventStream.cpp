#include "cli/EventStream.h"

#include "cli/JsonWriter.h"

void EventStream::Emit(const char* event, nlohmann::ordered_json members) {
    if (!enabled_) {
        return;
    }
    nlohmann::ordered_json line = nlohmann::ordered_json::object();
    line["event"] = event;
    for (auto& [key, value] : members.items()) {
        line[key] = value;
    }
    const std::string text = JsonWriter::Line(line) + "\n";
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}
