#include "app/gui/application.h"

#include <QApplication>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

#include "app/gui/window_font.h"

namespace idr {

void prepare_application(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    QApplication::setFont(window_font());
    // The window's own texts in the system's language where there is a
    // translation (Thai), else as written (English). The four steps'
    // captions are the model's and are never translated.
    static QTranslator translator;
    if (translator.load(QLocale::system(), QStringLiteral("id-reader"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QApplication::installTranslator(&translator);
}

}  // namespace idr
