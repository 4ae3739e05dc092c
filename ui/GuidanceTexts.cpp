#include "ui/GuidanceTexts.h"

QString GuidanceString(GuidanceText text, Language language) {
    return QString::fromStdString(GuidanceTextString(text, language));
}
