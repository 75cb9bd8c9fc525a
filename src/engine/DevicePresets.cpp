#include "engine/DevicePresets.h"

const TDevicePreset *FindDevicePreset(const QString &name)
{
    static const TDevicePreset presets[] = {
        {"libx264-ipod", "baseline", "3.0"},
        {"libx264-psp", "main", "3.0"},
        {"libx264-ps3", "high", "4.1"},
        {"libx264-mp4", "high", "4.0"},
    };
    for (const TDevicePreset &p : presets)
        if (name.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}
