#include "cli/JsonWriter.h"

std::string JsonWriter::Line(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
