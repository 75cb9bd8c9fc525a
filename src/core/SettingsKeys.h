#pragma once

// Section and key names of the settings file. Names match without regard to letter
// case; some keys are written in one spelling and read in another.
namespace SettingsKeys {

inline constexpr const char *SettingsSection = "settings";
inline constexpr const char *CategorySection = "lstformat";

inline constexpr const char *OutPutDir = "OutPutDir";
inline constexpr const char *SnapOutPutDir = "SnapOutPutDir";
inline constexpr const char *FormatName = "FormatName";
inline constexpr const char *FormatCode = "FormatCode";
inline constexpr const char *Priority = "priority";
inline constexpr const char *Volume = "volume";
inline constexpr const char *Mute = "mute";
inline constexpr const char *SnapFullSize = "snapFullSize";
inline constexpr const char *SnapSmallSize = "snapSmallSize";
inline constexpr const char *SnapBmp = "snapBmp";
inline constexpr const char *SnapJpg = "snapJpg";
inline constexpr const char *JpgCmp = "jpgCmp";

} // namespace SettingsKeys
