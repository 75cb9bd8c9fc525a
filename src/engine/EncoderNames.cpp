#include "engine/EncoderNames.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

QString ResolveEncoderName(const QString &name)
{
    struct Alias
    {
        const char *asked;
        const char *served;
    };
    static constexpr Alias aliases[] = {{"libfaac", "aac"}, {"vorbis", "libvorbis"}};
    for (const Alias &a : aliases)
        if (name == QLatin1String(a.asked) && avcodec_find_encoder_by_name(a.served))
            return QString::fromLatin1(a.served);
    return name;
}

bool EncoderExists(const QString &name)
{
    return avcodec_find_encoder_by_name(ResolveEncoderName(name).toUtf8().constData()) != nullptr;
}
