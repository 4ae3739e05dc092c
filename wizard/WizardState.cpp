#include "wizard/WizardState.h"

ColourRgb Rgb(TextColour colour) {
    switch (colour) {
        case TextColour::Grey:
            return {128, 128, 128};
        case TextColour::Red:
            return {255, 0, 0};
        case TextColour::Black:
            break;
    }
    return {0, 0, 0};
}
