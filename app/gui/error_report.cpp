#include "app/gui/error_report.h"

#include <QMessageBox>

namespace idr {

namespace {

QString sentence(const std::string& message) {
    // The message starts with a control's name where it has one
    // ("txtTreshold: the text ..."), so its first letter stays as it is.
    QString s = QString::fromStdString(message);
    if (!s.isEmpty() && !s.endsWith(QLatin1Char('.'))) s += QLatin1Char('.');
    return s;
}

}  // namespace

ErrorReport describe(const RuntimeError& error) {
    const QString kind = QString::fromUtf8(kind_name(error.kind()).data(),
                                           static_cast<qsizetype>(kind_name(error.kind()).size()));
    return {QStringLiteral("id-reader"), QStringLiteral("Run-time error: %1").arg(kind),
            sentence(error.message()) +
                QStringLiteral("\n\nThe step stopped there. What it did before stays as it is, "
                               "and the window carries on.")};
}

void show_error_report(QWidget* parent, const RuntimeError& error) {
    const ErrorReport report = describe(error);
    QMessageBox box(QMessageBox::Critical, report.title, report.text, QMessageBox::Ok, parent);
    box.setInformativeText(report.details);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

}  // namespace idr
