#pragma once

#include <QString>

// Named H.264 device presets (TOutputOptions::EncoderPreset) and what they set in x264:
//
//   preset          profile    level   for
//   libx264-ipod    baseline   3.0     iPod video (Apple's baseline limit)
//   libx264-psp     main       3.0     PlayStation Portable (480x272 at 30 frames/s fits 3.0)
//   libx264-ps3     high       4.1     PlayStation 3 (up to 1080p)
//   libx264-mp4     high       4.0     MP4 players in general
//
// A device preset encodes 4:2:0 pictures, which all of these profiles require. The "ipod"
// and "psp" containers are written with their index at the front of the file, so that
// the devices can start playing at once.
struct TDevicePreset
{
    const char *name;
    const char *profile;
    const char *level;
};

// The preset of that name, or null.
const TDevicePreset *FindDevicePreset(const QString &name);
