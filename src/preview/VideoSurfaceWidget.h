#pragma once

#include "engine/VideoSurface.h"

#include <QWidget>

// A black panel the player shows its pictures in: each picture is scaled into the
// display size (centred in the panel) keeping its aspect.
class TVideoSurfaceWidget : public QWidget, public TVideoSurface
{
    Q_OBJECT
public:
    explicit TVideoSurfaceWidget(QWidget *parent = nullptr);

    void setDisplaySize(const QSize &size) override;
    void showPicture(const QImage &picture) override;
    const QImage &picture() const { return m_picture; }
    // Where the picture is drawn, in widget coordinates (empty when there is none).
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
    QSize m_displaySize;
};
