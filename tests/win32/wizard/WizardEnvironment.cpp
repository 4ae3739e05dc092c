// What tarvelin.exe does before it shows the sheet, done once for the tests: the common
// controls and the minimum-system check, which the string manager insists on.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "update/CZelkorTools.h"

namespace {

class WizardEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof(controls);
        controls.dwICC = 0xFF;
        ASSERT_TRUE(InitCommonControlsEx(&controls));
        ASSERT_TRUE(CZelkorTools::GetInstance().Initialize(0));
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new WizardEnvironment);

}  // namespace
