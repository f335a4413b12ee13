#include "ui/fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace vexora::ui {

void ensureWindowFonts() {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    const QStringList files = {
        QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
        QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf"),
    };
    bool loaded = false;
    for (const QString& file : files) {
        if (QFile::exists(file) && QFontDatabase::addApplicationFont(file) >= 0)
            loaded = true;
    }
    if (!loaded) {
        // Tahoma is a narrow face: Liberation Sans (metric twin of Arial) keeps captions
        // within their controls better than the wider DejaVu Sans.
        QFont::insertSubstitutions(
            QStringLiteral("Tahoma"),
            {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
             QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    }
    if (!QFontDatabase::families().contains(QStringLiteral("Arial"))) {
        QFont::insertSubstitutions(QStringLiteral("Arial"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Tahoma"),
                                    QStringLiteral("DejaVu Sans")});
    }
}

QFont tahoma(int pixelSize, bool bold) {
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QFont arial(int pixelSize, bool underline) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelSize);
    f.setUnderline(underline);
    f.setBold(false);  // set explicitly: an unset weight would follow the bold window font
    f.setStyleHint(QFont::SansSerif);
    return f;
}

}  // namespace vexora::ui
