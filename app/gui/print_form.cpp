#include "app/gui/print_form.h"

#include <QCoreApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include "app/lazy/lazy_library.h"

namespace idr {

printing::Paper paper_of(const QPrinter& printer) {
    return printer.pageLayout().pageSize().id() == QPageSize::Letter ? printing::Paper::Letter
                                                                     : printing::Paper::A4;
}

void prepare_printer(QPrinter& printer) {
    const bool letter = printing::default_paper() == printing::Paper::Letter;
    printer.setPageSize(QPageSize(letter ? QPageSize::Letter : QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("id-reader blank form"));
}

std::optional<QString> paint_blank_form(QPrinter& printer) {
    // Drawn by cairo, loaded with the first print.
    if (auto missing = lazy::cairo().problem()) {
        return QCoreApplication::translate("idr::MainWindow", "the form cannot be drawn: %1")
            .arg(QString::fromStdString(*missing));
    }
    const printing::RgbImage form = printing::render_form(paper_of(printer), kPrintDpi);
    if (form.width == 0) return QCoreApplication::translate("idr::MainWindow", "not enough memory to draw the form");
    const QImage image(form.rgb.data(), form.width, form.height, form.width * 3, QImage::Format_RGB888);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return QCoreApplication::translate("idr::MainWindow", "the printer could not be started");
    }
    // The form is the whole page, so it fills the paper, not the printable
    // area inside the printer's margins.
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, paper.width(), paper.height()), image);
    if (!painter.end()) return QCoreApplication::translate("idr::MainWindow", "the page could not be finished");
    return std::nullopt;
}

}  // namespace idr
