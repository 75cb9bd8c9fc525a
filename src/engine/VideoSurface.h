#pragma once

#include <QImage>
#include <QSize>

// Where the player shows its pictures. The player calls it on the user-interface thread;
// the widget that implements it lives with the windows, so that the player itself needs
// no widgets.
class TVideoSurface
{
public:
    virtual ~TVideoSurface() = default;
    // The size to show pictures at (set by the file-open handler); the picture keeps its
    // aspect inside it.
    virtual void setDisplaySize(const QSize &size) = 0;
    // A new picture to show (a null image clears the surface).
    virtual void showPicture(const QImage &picture) = 0;
};
