#include "wizard/StartArguments.h"

#include <filesystem>
#include <system_error>

#include "update/Utf8Path.h"
#include "wizard/GuidanceTexts.h"

StartFolder StartFolderFromArguments(const std::vector<std::string>& arguments, Language language) {
    StartFolder start;
    if (arguments.empty()) {
        return start;
    }
    start.valid = false;
    if (arguments.size() > 1) {
        start.error = GuidanceTextString(GuidanceText::Usage, language);
        return start;
    }
    std::error_code error;
    const std::filesystem::path given =
        std::filesystem::absolute(PathFromUtf8(arguments[0]), error);
    if (!error && std::filesystem::is_directory(given, error)) {
        start.folder = Utf8FromPath(given.lexically_normal());
    } else if (!error && std::filesystem::exists(given, error)) {
        start.folder = Utf8FromPath(given.lexically_normal().parent_path());
    } else {
        std::string text = GuidanceTextString(GuidanceText::NoSuchFolder, language);
        text.replace(text.find("%1"), 2, arguments[0]);
        start.error = text;
        return start;
    }
    // A folder given with its separator ("fw/", "fw/.") names the same folder; a drive's root
    // keeps its own.
    while (start.folder.size() > 1 && start.folder.back() == '/' &&
           start.folder[start.folder.size() - 2] != ':') {
        start.folder.pop_back();
    }
    start.valid = true;
    return start;
}
