#pragma once

#include <QWidget>

namespace darvolt {

// The status bar along the bottom of the main window, in its one-panel form:
// a sunken strip that shows one line of text. It draws itself in the classic
// look; with SizeGrip it also shows the diagonal grip in its right corner.
class TStatusBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool SimplePanel READ SimplePanel WRITE setSimplePanel)
    Q_PROPERTY(QString SimpleText READ SimpleText WRITE setSimpleText)
    Q_PROPERTY(bool SizeGrip READ SizeGrip WRITE setSizeGrip)

public:
    explicit TStatusBar(QWidget *parent = nullptr);

    bool SimplePanel() const { return m_simplePanel; }
    void setSimplePanel(bool value);
    QString SimpleText() const { return m_simpleText; }
    void setSimpleText(const QString &text);
    bool SizeGrip() const { return m_sizeGrip; }
    void setSizeGrip(bool value);

    // Where the panel's text goes, in widget coordinates.
    QRect TextRect() const;
    // The bar as painted.
    QImage RenderFace() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintFace(QPainter &painter) const;

    bool m_simplePanel = false;
    QString m_simpleText;
    bool m_sizeGrip = true;
};

} // namespace darvolt
