#include "DialogLayout.h"

#include <QFontDatabase>
#include <QStringList>

namespace {
QString dialogFamily()
{
    static const QString family = [] {
        const QStringList candidates = {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                                        QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                        QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")};
        const QStringList installed = QFontDatabase::families();
        for (const QString& name : candidates) {
            // A face several foundries ship is listed as "Name [foundry]".
            const QString withFoundry = name + QStringLiteral(" [");
            for (const QString& family : installed) {
                if (family.compare(name, Qt::CaseInsensitive) == 0 || family.startsWith(withFoundry, Qt::CaseInsensitive))
                    return name;
            }
        }
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return family;
}
} // namespace

namespace DialogLayout {
QFont dialogFont(qreal pointSize, bool bold)
{
    QFont font(dialogFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}
} // namespace DialogLayout
