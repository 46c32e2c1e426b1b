#include "toolkit/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace darvolt {

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

const QStringList &classicFaces()
{
    static const QStringList list{QStringLiteral("MS Sans Serif"), QStringLiteral("MS Shell Dlg"),
                                  QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Microsoft Sans Serif")};
    return list;
}

QString firstInstalled(const QStringList &installed)
{
    for (const QString &family : candidates())
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    return candidates().last();
}

} // namespace

QString SubstituteFamily()
{
    return firstInstalled(QFontDatabase::families());
}

void InstallFontSubstitutes()
{
    const QStringList installed = QFontDatabase::families();
    const QString family = firstInstalled(installed);
    for (const QString &face : classicFaces()) {
        // A machine that has the face itself draws in it; substitutes are
        // only ever looked at for faces that are missing.
        if (installed.contains(face, Qt::CaseInsensitive))
            continue;
        if (!QFont::substitutes(face).contains(family))
            QFont::insertSubstitution(face, family);
    }
}

QString ResolvedFamily(const QString &family)
{
    if (!classicFaces().contains(family, Qt::CaseInsensitive))
        return family;
    const QStringList substitutes = QFont::substitutes(family);
    if (substitutes.isEmpty())
        return family;
    // The table keeps its names in lower case; ours are given as spelt.
    for (const QString &candidate : candidates())
        if (candidate.compare(substitutes.first(), Qt::CaseInsensitive) == 0)
            return candidate;
    return substitutes.first();
}

QFont LayoutFont(const QString &family, int pixelHeight, bool bold)
{
    QFont font(ResolvedFamily(family));
    font.setPixelSize(pixelHeight > 0 ? pixelHeight : 11);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

} // namespace darvolt
