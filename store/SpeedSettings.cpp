#include "store/SpeedSettings.h"

#include <limits.h>
#include <stdio.h>

#include "store/SettingsFile.h"
#include "util/ProfileUpdate.h"

namespace {

const char kSpeedCapKey[] = "SPEEDCAP";
const char kBackgroundKey[] = "BACKGROUND";

void WriteNumber(ProfileUpdate &update, const char *key, ULONGLONG value)
{
    char number[24];
    snprintf(number, sizeof(number), "%llu", value);
    update.Write(kDownloadSection, key, number);
}

}  // namespace

SpeedSettings ReadSpeedSettings()
{
    // A negative number, hand-written, is no cap.
    int cap = ReadSettingNumber(kSpeedCapKey, 0);
    SpeedSettings settings;
    settings.cap = cap > 0 ? static_cast<ULONGLONG>(cap) : 0;
    settings.background = ReadSettingNumber(kBackgroundKey, 0) == 1;
    return settings;
}

void WriteSpeedSettings(ProfileUpdate &update, const SpeedSettings &settings)
{
    WriteNumber(update, kSpeedCapKey, settings.cap < INT_MAX ? settings.cap : INT_MAX);
    WriteNumber(update, kBackgroundKey, settings.background ? 1 : 0);
}

void KeepSpeedSettings(const SpeedSettings &settings)
{
    SettingsPlace().Update([&](ProfileUpdate &update, const std::string &) { WriteSpeedSettings(update, settings); });
}
