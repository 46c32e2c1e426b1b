#include "toolkit/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

const QStringList &candidates()
{
    // Liberation Sans shares Arial's metrics, which are close to those of the
    // classic dialog face at 8 to 10 points; the others are fall-backs for
    // machines without fonts-liberation.
    static const QStringList list{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                  QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")};
    return list;
}

} // namespace

QString SubstituteFamily()
{
    const QStringList families = QFontDatabase::families();
    for (const QString &family : candidates())
        if (families.contains(family, Qt::CaseInsensitive))
            return family;
    return candidates().last();
}

void InstallFontSubstitutes()
{
    const QString family = SubstituteFamily();
    for (const char *name : {"MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif"}) {
        const QString face = QString::fromLatin1(name);
        if (!QFont::substitutes(face).contains(family))
            QFont::insertSubstitution(face, family);
    }
}

QFont LayoutFont(const QString &family, int pixelHeight, bool bold)
{
    QFont font(family);
    font.setPixelSize(pixelHeight > 0 ? pixelHeight : 11);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
