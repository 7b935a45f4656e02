#include "app/gui/window_font.h"

#include <QStringList>

namespace idr {

namespace {
// 11 px clips "4. Check ID" and its 20 blanks in a 129-pixel button; 10 px
// leaves at least 3 px on each side of every caption (tests/gui checks it).
constexpr int kPixelSize = 10;
}  // namespace

QFont window_font() {
    QFont font;
    // DejaVu Sans comes with fontconfig on Debian; it has no Thai, so Loma
    // (fonts-thai-tlwg) shapes the label instead of whatever fallback
    // fontconfig would pick.
    font.setFamilies(QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("Loma")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kPixelSize);
    return font;
}

}  // namespace idr
