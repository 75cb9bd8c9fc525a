#pragma once

#include "engine/EngineTypes.h"

extern "C" {
#include <libavutil/rational.h>
}

// Video CD, Super Video CD and DVD, as FFmpeg's own tool sets them up:
//
//            container codecs            PAL size / NTSC size   video bit/s (max, min, buffer bits)      audio
//   VCD      "vcd"     mpeg1video + mp2   352x288 / 352x240      1150000 (1150000, 1150000, 327680)      224000, 44100
//   Hz, 2 ch SVCD     "svcd"    mpeg2video + mp2   480x576 / 480x480      2040000 (2516000, 0, 1835008), scan off.
//   224000, 44100 Hz DVD      "dvd"     mpeg2video + ac3   720x576 / 720x480      6000000 (9000000, 0, 1835008) 448000,
//   48000 Hz
//
// PAL runs at 25 frames/s with a GOP of 15, NTSC at 30000/1001 with a GOP of 18. Packets
// are 2324 bytes (VCD, SVCD) or 2048 (DVD); the multiplex rate is 1411200 bit/s for VCD
// (3528 units of 50 bytes/s) and 10080000 for DVD; VCD preloads 0.44 s.
//
// The disc's settings come first; every field the task set itself wins over them.

enum class TDiscNorm { Pal, Ntsc };

// Norm 0 (automatic) follows the source's frame rate: 25 or 50 is PAL, 29.97, 30, 23.976
// and 59.94 are NTSC, anything else (or no video) PAL.
TDiscNorm DiscNorm(int targetNorm, AVRational sourceRate);

// The options with the disc standard's settings filled in where the task left the
// engine's defaults. Without a target (kind 0) the options come back unchanged.
TOutputOptions ApplyDiscTarget(const TOutputOptions &options, AVRational sourceRate);
