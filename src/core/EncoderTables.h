#pragma once

#include <QString>
#include <optional>

// The display names the settings dialog offers and the values it stores for them.
// Display names are looked up after lower-casing; the channel names exactly.

// Stored "paraVideoEncoder" for a video encoder entry, or nothing for an unknown entry.
std::optional<QString> StoredVideoEncoder(const QString &entry);
// Stored "paraAudioEncoder" for an audio encoder entry, or nothing for an unknown entry.
std::optional<QString> StoredAudioEncoder(const QString &entry);
// Stored "paraChannel" for a channel entry ("as source", "1" or "2").
std::optional<QString> StoredChannel(const QString &entry);
// Stored "paraVolume" (percentage × 256 / 100) for one of the twelve volume percentages.
std::optional<QString> StoredVolume(int percent);
// "paraZoom" of a zoom box index: 0 "full", 1 "lbox", 2 "pan", 3 "center".
std::optional<QString> StoredZoom(int index);
// Zoom box index of a stored "paraZoom", -1 when the text is none of the four.
int ZoomIndex(const QString &stored);
