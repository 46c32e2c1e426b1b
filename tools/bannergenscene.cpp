#include "bannergenscene.h"

#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <stdexcept>

namespace {

// Text is drawn from the outlines of fonts loaded from known files, never
// from whatever the font configuration would pick, so that every build of
// the banner gives the same pixels.
QString FontFamily(const char *file)
{
    const QString path = QStringLiteral("/usr/share/fonts/truetype/liberation/") + QLatin1String(file);
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty())
        throw std::runtime_error("bannergen: cannot load " + path.toStdString() + " (install fonts-liberation)");
    return families.front();
}

QFont Font(bool bold, int pixelSize)
{
    static const QString regular = FontFamily("LiberationSans-Regular.ttf");
    static const QString heavy = FontFamily("LiberationSans-Bold.ttf");
    QFont font(bold ? heavy : regular);
    font.setBold(bold);
    font.setPixelSize(pixelSize);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

QPainterPath TextPath(const QString &text, const QFont &font, QPointF baseline)
{
    QPainterPath path;
    path.addText(baseline, font, text);
    return path;
}

void FillText(QPainter &p, const QString &text, const QFont &font, QPointF baseline, const QBrush &brush)
{
    p.fillPath(TextPath(text, font, baseline), brush);
}

void Background(QPainter &p)
{
    QLinearGradient across(0, 0, BannerWidth, 0);
    across.setColorAt(0.0, QColor(0x1c, 0x16, 0x50));
    across.setColorAt(0.55, QColor(0x17, 0x25, 0x62));
    across.setColorAt(1.0, QColor(0x0c, 0x4a, 0x5c));
    p.fillRect(QRect(0, 0, BannerWidth, BannerHeight), across);
    QLinearGradient down(0, 0, 0, BannerHeight);
    down.setColorAt(0.0, QColor(255, 255, 255, 22));
    down.setColorAt(0.5, QColor(255, 255, 255, 0));
    down.setColorAt(1.0, QColor(0, 0, 0, 50));
    p.fillRect(QRect(0, 0, BannerWidth, BannerHeight), down);
    QLinearGradient accent(0, 0, BannerWidth, 0);
    accent.setColorAt(0.0, QColor(0xff, 0xb8, 0x3d, 200));
    accent.setColorAt(1.0, QColor(0x4f, 0xd1, 0xe0, 160));
    p.fillRect(QRectF(0, BannerHeight - 1, BannerWidth, 1), accent);
}

void Star(QPainter &p, QPointF c, double r, QColor color)
{
    QPainterPath star;
    star.moveTo(c.x(), c.y() - r);
    star.quadTo(c, QPointF(c.x() + r, c.y()));
    star.quadTo(c, QPointF(c.x(), c.y() + r));
    star.quadTo(c, QPointF(c.x() - r, c.y()));
    star.quadTo(c, QPointF(c.x(), c.y() - r));
    QRadialGradient halo(c, r * 0.9);
    halo.setColorAt(0, QColor(255, 255, 255, 150));
    halo.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(c, r * 0.9, r * 0.9);
    p.fillPath(star, color);
}

// The Ombrix mark: a sun partly in shadow.
void Logo(QPainter &p, bool glint)
{
    const QPointF c(22, 22);
    const double r = 13.5;
    QPainterPath sun;
    sun.addEllipse(c, r, r);
    QPainterPath shade;
    shade.addEllipse(c + QPointF(7.5, -4.5), 11.5, 11.5);
    QRadialGradient gold(c + QPointF(-4, -4), r * 1.6);
    gold.setColorAt(0.0, QColor(0xff, 0xe6, 0x8a));
    gold.setColorAt(0.55, QColor(0xff, 0xb0, 0x3b));
    gold.setColorAt(1.0, QColor(0xe8, 0x62, 0x2c));
    p.fillPath(sun, QColor(0x0e, 0x10, 0x33, 170));
    p.fillPath(sun.subtracted(shade), gold);
    p.setPen(QPen(QColor(0xff, 0xd2, 0x7a, 110), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    if (glint)
        Star(p, QPointF(13.5, 14), 6.5, QColor(255, 255, 255));
}

void Wordmark(QPainter &p, int letters, bool swoosh)
{
    static const QString name = QStringLiteral("Ombrix");
    QLinearGradient white(0, 12, 0, 31);
    white.setColorAt(0, QColor(0xff, 0xff, 0xff));
    white.setColorAt(1, QColor(0xa8, 0xdc, 0xff));
    FillText(p, name.left(letters), Font(true, 25), QPointF(44, 30), white);
    if (swoosh) {
        QPainterPath arc;
        arc.moveTo(45, 34.5);
        arc.quadTo(88, 38.5, 128, 32.5);
        p.setPen(QPen(QColor(0xff, 0xb8, 0x3d), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(arc);
    }
}

// Draws one feature word in a pill; gives the pill's width.
double Chip(QPainter &p, const QString &text, double x)
{
    const QFont font = Font(true, 10);
    const double width = QFontMetricsF(font).horizontalAdvance(text) + 12;
    const QRectF pill(x, 23.5, width, 13);
    p.setPen(QPen(QColor(0x9f, 0xd8, 0xff, 150), 1.0));
    p.setBrush(QColor(255, 255, 255, 26));
    p.drawRoundedRect(pill, 6.5, 6.5);
    FillText(p, text, font, QPointF(x + 6, 33.5), QColor(0xcf, 0xec, 0xff));
    return width;
}

void Intro(QPainter &p, const BannerScene &s)
{
    Logo(p, s.glint);
    Wordmark(p, s.letters, s.swoosh);
    if (s.tagline)
        FillText(p, QStringLiteral("Light up the shadows in your photos"), Font(true, 12), QPointF(150, 18),
                 QColor(0xe4, 0xec, 0xff));
    static const char *const words[] = {"Retouch", "Relight", "Restore"};
    double x = 150;
    for (int i = 0; i < s.chips && i < 3; ++i)
        x += Chip(p, QString::fromLatin1(words[i]), x) + 8;
}

void Landscape(QPainter &p, const BannerScene &s)
{
    const QRectF panel(6, 7, 146, 30);
    QPainterPath frame;
    frame.addRoundedRect(panel, 4, 4);
    p.save();
    p.setClipPath(frame);
    QLinearGradient sky(0, 7, 0, 37);
    sky.setColorAt(0, s.bright ? QColor(0x3b, 0x9c, 0xff) : QColor(0x34, 0x38, 0x46));
    sky.setColorAt(1, s.bright ? QColor(0xc4, 0xe8, 0xff) : QColor(0x4a, 0x4c, 0x52));
    p.fillRect(panel, sky);
    const QPointF sun(118, 16);
    if (s.bright) {
        QRadialGradient glow(sun, 13);
        glow.setColorAt(0, QColor(255, 240, 160, 200));
        glow.setColorAt(1, QColor(255, 240, 160, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(sun, 13, 13);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(s.bright ? QColor(0xff, 0xd3, 0x4d) : QColor(0x7a, 0x72, 0x58));
    p.drawEllipse(sun, 5.5, 5.5);
    QPainterPath far;
    far.moveTo(6, 30);
    far.cubicTo(40, 18, 70, 22, 100, 27);
    far.cubicTo(120, 30, 140, 22, 152, 24);
    far.lineTo(152, 37);
    far.lineTo(6, 37);
    p.fillPath(far, s.bright ? QColor(0x4f, 0xb8, 0x6a) : QColor(0x2c, 0x35, 0x30));
    QPainterPath near;
    near.moveTo(6, 34);
    near.cubicTo(50, 27, 90, 36, 152, 31);
    near.lineTo(152, 37);
    near.lineTo(6, 37);
    p.fillPath(near, s.bright ? QColor(0x2e, 0x8f, 0x4a) : QColor(0x22, 0x29, 0x25));
    p.fillRect(QRectF(37.5, 22, 2, 9), s.bright ? QColor(0x7a, 0x4a, 0x2a) : QColor(0x2a, 0x24, 0x20));
    p.setBrush(s.bright ? QColor(0x25, 0x9a, 0x45) : QColor(0x1f, 0x27, 0x22));
    p.drawEllipse(QPointF(38.5, 19), 6, 6);
    if (s.sparkle == 1)
        Star(p, sun + QPointF(-6, -3), 5.5, QColor(255, 255, 255));
    if (s.sparkle == 2)
        Star(p, QPointF(76, 24), 5.5, QColor(255, 255, 255));
    const QString label = s.bright ? QStringLiteral("After") : QStringLiteral("Before");
    const QFont font = Font(true, 9);
    const double width = QFontMetricsF(font).horizontalAdvance(label) + 8;
    QColor badge = s.afterTick ? QColor(0x1f, 0xa8, 0x55, 230) : QColor(0, 0, 0, 140);
    p.setPen(Qt::NoPen);
    p.setBrush(badge);
    p.drawRoundedRect(QRectF(9, 9, width, 11), 3, 3);
    FillText(p, label, font, QPointF(13, 17.5), QColor(255, 255, 255));
    p.restore();
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(panel.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

void Photo(QPainter &p, const BannerScene &s)
{
    Landscape(p, s);
    const QFont big = Font(true, 13);
    if (s.bright)
        FillText(p, QStringLiteral("Ombrix brings them to life."), big, QPointF(164, 19), QColor(0xff, 0xff, 0xff));
    else
        FillText(p, QStringLiteral("Dull, flat photos?"), big, QPointF(164, 19), QColor(0xb8, 0xbe, 0xd0));
    if (s.secondLine)
        FillText(p, QStringLiteral("One click. No skills needed."), Font(false, 11), QPointF(164, 33),
                 QColor(0xff, 0xc8, 0x5a));
}

void Button(QPainter &p, const BannerScene &s)
{
    const QRectF button(296, 20, 90, 16);
    if (s.glow) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0xc8, 0x5a, 70));
        p.drawRoundedRect(button.adjusted(-2, -2, 2, 2), 9, 9);
    }
    QLinearGradient fill(0, button.top(), 0, button.bottom());
    fill.setColorAt(0, s.glow ? QColor(0xff, 0xe9, 0x9c) : QColor(0xff, 0xd0, 0x6a));
    fill.setColorAt(1, s.glow ? QColor(0xff, 0xa8, 0x3c) : QColor(0xf0, 0x8a, 0x2c));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(button, 8, 8);
    FillText(p, QStringLiteral("Try it free"), Font(true, 11), QPointF(306, 32), QColor(0x3a, 0x1a, 0x08));
    const double ax = 368 + s.arrow;
    QPainterPath arrow;
    arrow.moveTo(ax, 24.5);
    arrow.lineTo(ax + 5, 28);
    arrow.lineTo(ax, 31.5);
    p.setPen(QPen(QColor(0x3a, 0x1a, 0x08), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
}

void Offer(QPainter &p, const BannerScene &s)
{
    Logo(p, s.glint);
    Wordmark(p, 6, true);
    FillText(p, QStringLiteral("Photo editing that finds"), Font(true, 11), QPointF(150, 18),
             QColor(0xe4, 0xec, 0xff));
    FillText(p, QStringLiteral("the light in every shadow"), Font(true, 11), QPointF(150, 32),
             QColor(0xff, 0xc8, 0x5a));
    Button(p, s);
}

} // namespace

QImage RenderBannerScene(const BannerScene &scene)
{
    QImage picture(BannerWidth, BannerHeight, QImage::Format_RGB32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing, true);
    Background(p);
    switch (scene.kind) {
    case BannerScene::Intro: Intro(p, scene); break;
    case BannerScene::Photo: Photo(p, scene); break;
    case BannerScene::Offer: Offer(p, scene); break;
    }
    p.end();
    if (scene.fade > 0) {
        QImage base(BannerWidth, BannerHeight, QImage::Format_RGB32);
        QPainter bp(&base);
        Background(bp);
        bp.end();
        const int f = scene.fade;
        for (int y = 0; y < BannerHeight; ++y) {
            auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
            const auto *under = reinterpret_cast<const QRgb *>(base.constScanLine(y));
            for (int x = 0; x < BannerWidth; ++x) {
                auto mix = [f](int a, int b) { return (a * (100 - f) + b * f + 50) / 100; };
                line[x] = qRgb(mix(qRed(line[x]), qRed(under[x])), mix(qGreen(line[x]), qGreen(under[x])),
                               mix(qBlue(line[x]), qBlue(under[x])));
            }
        }
    }
    return picture;
}
