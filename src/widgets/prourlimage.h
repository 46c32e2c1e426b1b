#pragma once

#include <QPixmap>
#include <QWidget>

namespace darvolt {

// An image control that opens its link when clicked. Without a picture it
// draws nothing, so it can lie over another control as an invisible link
// area that still shows the hand cursor.
class TProUrlImage : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(int Cursor READ Cursor WRITE setCursorId)
    Q_PROPERTY(QPixmap Picture READ Picture WRITE setPicture)
    Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)
    Q_PROPERTY(bool Center READ Center WRITE setCenter)

public:
    explicit TProUrlImage(QWidget *parent = nullptr);

    QString URL() const { return m_url; }
    void setURL(const QString &url) { m_url = url; }
    int Cursor() const { return m_cursorId; }
    void setCursorId(int id);
    QPixmap Picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);
    bool Stretch() const { return m_stretch; }
    void setStretch(bool value);
    bool Center() const { return m_center; }
    void setCenter(bool value);

    // The image control's click, then the link.
    virtual void Click();

signals:
    void OnClick(QObject *Sender);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString m_url;
    int m_cursorId = 0;
    QPixmap m_picture;
    bool m_stretch = false;
    bool m_center = false;
    bool m_clicking = false;
};

} // namespace darvolt
