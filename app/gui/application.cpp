#include "app/gui/application.h"

#include <QApplication>
#include <QStyleFactory>

#include "app/gui/window_font.h"

namespace idr {

void prepare_application(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    QApplication::setFont(window_font());
}

}  // namespace idr
