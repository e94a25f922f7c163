#include "platform/gui/fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QString>
#include <QStringList>

namespace tavelin {
namespace {

const char* const kInstrumentFamily = "MS Sans Serif";
const char* const kWineSansSerifFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
const double kInstrumentPointSize = 7.8;

const char* const kReadoutFamily = "Haettenschweiler";
const double kReadoutPointSize = 18.0;

bool hasFamily(const QString& family)
{
    return QFontDatabase().families().contains(family, Qt::CaseInsensitive);
}

QString scalableFamily()
{
    static const QString family = [] {
        for (const char* candidate : {"Liberation Sans", "DejaVu Sans"}) {
            if (hasFamily(QString::fromLatin1(candidate)))
                return QString::fromLatin1(candidate);
        }
        return QFont().family();
    }();
    return family;
}

// Looked up once per run: the font database does not change under us, and
// loading the application font twice would register it twice.
QString classicFamily()
{
    static const QString family = [] {
        const QString wanted = QString::fromLatin1(kInstrumentFamily);
        if (hasFamily(wanted))
            return wanted;
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kWineSansSerifFile));
        if (id >= 0) {
            const QStringList loaded = QFontDatabase::applicationFontFamilies(id);
            if (!loaded.isEmpty())
                return loaded.first();
        }
        return scalableFamily();
    }();
    return family;
}

// The classic face has bitmaps for its 96-dpi size only: scaled, its letters
// drift apart. Any other scale takes a scalable face of about the same width.
QString instrumentFamily(qreal devicePixelRatio)
{
    return qFuzzyCompare(devicePixelRatio, 1.0) ? classicFamily() : scalableFamily();
}

// The highest ratio among the screens: with one scaled screen among others
// the scalable face is used everywhere, which looks right on all of them.
qreal screenPixelRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

} // namespace

QFont instrumentFont()
{
    return instrumentFont(screenPixelRatio());
}

QFont instrumentFont(qreal devicePixelRatio)
{
    QFont font(instrumentFamily(devicePixelRatio));
    font.setPointSizeF(kInstrumentPointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QFont frameCaptionFont()
{
    QFont font = instrumentFont();
    font.setBold(true);
    return font;
}

QFont readoutFont()
{
    static const bool haveReadoutFamily = hasFamily(QString::fromLatin1(kReadoutFamily));
    if (haveReadoutFamily) {
        QFont font(QString::fromLatin1(kReadoutFamily));
        font.setPointSizeF(kReadoutPointSize);
        font.setWeight(QFont::Normal);
        return font;
    }
    // fontconfig files the condensed cut under "DejaVu Sans" with a condensed
    // width; asking for the stretch as well keeps the match on that file.
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStretch(QFont::Condensed);
    font.setPointSizeF(kReadoutPointSize);
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace tavelin
