#include "ui/TemplateTexts.h"

QString TemplateString(TemplateText text, Language language) {
    return QString::fromStdString(TemplateTextString(text, language));
}

QString Text(int number, Language language) {
    return QString::fromStdString(LoadText(number, language));
}
