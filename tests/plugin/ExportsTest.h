// A case that drives Ravlix.dll through its exports, as a host does: the DLL
// loaded and the settings file removed before each case; the controller
// released, the DLL freed and the settings file removed after it.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "host/RavlixLibrary.h"
#include "tests/support/IniText.h"

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA(testing_support::SettingsFilePath().c_str());
        std::string error;
        ASSERT_TRUE(api.Load(&error)) << error;
    }

    void TearDown() override
    {
        if (controller)
            api.release(controller);
        FreeLibrary(api.module);
        DeleteFileA(testing_support::SettingsFilePath().c_str());
    }

    // InitDownload on the controller, made at the first call: the window
    // is created the first time and placed by the dock settings each time.
    HWND InitWindow()
    {
        if (!controller)
            controller = api.create();
        if (!controller)
            return nullptr;
        api.init(controller, nullptr, 0);
        return FindWindowA("VexaDownLoad", nullptr);
    }

    RavlixLibrary api;
    DownloadController *controller = nullptr;
};
