#include "preview/VideoSurfaceWidget.h"

#include "editing/VideoEffects.h"

#include <QPainter>

TVideoSurfaceWidget::TVideoSurfaceWidget(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TVideoSurfaceWidget::setDisplaySize(const QSize &size)
{
    m_displaySize = size;
    update();
}

void TVideoSurfaceWidget::showPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

QRect TVideoSurfaceWidget::pictureRect() const
{
    if (m_picture.isNull() || m_picture.width() * m_picture.height() == 0)
        return QRect();
    QSize area = m_displaySize.isValid() && !m_displaySize.isEmpty() ? m_displaySize : size();
    area = area.boundedTo(size());
    const QRect box(QPoint((width() - area.width()) / 2, (height() - area.height()) / 2), area);
    return FitRect(m_picture.size(), box);
}

void TVideoSurfaceWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QRect target = pictureRect();
    if (target.isEmpty())
        return;
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, m_picture);
}
