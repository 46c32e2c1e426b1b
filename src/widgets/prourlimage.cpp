#include "widgets/prourlimage.h"

#include "widgets/prourl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace darvolt {

TProUrlImage::TProUrlImage(QWidget *parent)
    : QWidget(parent)
{
    RegisterProUrlCursors();
    setCursorId(crHandPoint);
    resize(105, 105);
}

void TProUrlImage::setCursorId(int id)
{
    m_cursorId = id;
    setCursor(CursorById(id));
}

void TProUrlImage::setPicture(const QPixmap &picture)
{
    if (picture.cacheKey() == m_picture.cacheKey())
        return;
    m_picture = picture;
    update();
}

void TProUrlImage::setStretch(bool value)
{
    if (value == m_stretch)
        return;
    m_stretch = value;
    update();
}

void TProUrlImage::setCenter(bool value)
{
    if (value == m_center)
        return;
    m_center = value;
    update();
}

void TProUrlImage::Click()
{
    const QPointer<TProUrlImage> alive(this);
    emit OnClick(this);
    if (alive)
        OpenLink(m_url);
}

void TProUrlImage::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    if (m_stretch) {
        painter.drawPixmap(rect(), m_picture);
    } else if (m_center) {
        const QSize s = m_picture.deviceIndependentSize().toSize();
        painter.drawPixmap((width() - s.width()) / 2, (height() - s.height()) / 2, m_picture);
    } else {
        painter.drawPixmap(0, 0, m_picture);
    }
}

void TProUrlImage::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_clicking = true;
}

void TProUrlImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_clicking)
        return;
    m_clicking = false;
    if (rect().contains(event->position().toPoint()))
        Click();
}

} // namespace darvolt
