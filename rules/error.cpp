#include "rules/error.h"

#include <utility>

namespace idr {

std::string_view kind_name(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Overflow: return "Overflow";
        case ErrorKind::FloatingPoint: return "Floating-point error";
        case ErrorKind::Subscript: return "Subscript out of range";
        case ErrorKind::TypeMismatch: return "Type mismatch";
        case ErrorKind::MissingElement: return "Missing control-array element";
        case ErrorKind::Control: return "Control error";
    }
    return "Run-time error";
}

namespace {

std::string make_report(ErrorKind kind, const std::string& message) {
    std::string out(kind_name(kind));
    out += ": ";
    out += message;
    return out;
}

}  // namespace

RuntimeError::RuntimeError(ErrorKind kind, std::string message)
    : std::runtime_error(make_report(kind, message)), kind_(kind), message_(std::move(message)) {}

std::string RuntimeError::report() const { return what(); }

}  // namespace idr
