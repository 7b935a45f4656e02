#pragma once
// The one run-time error of the program. A handler that hits a failed check
// throws it; the click dispatcher is the only place that catches it. What the
// handler did before the failing step stays done.

#include <stdexcept>
#include <string>
#include <string_view>

namespace idr {

enum class ErrorKind {
    Overflow,        // an integer result or conversion outside its kind; a number beyond double range
    FloatingPoint,   // invalid operation, division by zero or overflow in a float expression
    Subscript,       // array index outside the array's bounds
    TypeMismatch,    // a text that is not a number where a number is needed
    MissingElement,  // a control-array element that does not exist
    Control,         // a failed property access or method call on a control
};

// Short name of the kind as the operator sees it, e.g. "Overflow", "Type mismatch".
std::string_view kind_name(ErrorKind kind);

class RuntimeError : public std::runtime_error {
public:
    // `message` says in plain words what failed, e.g.
    // "the text \"abc\" is not a number".
    RuntimeError(ErrorKind kind, std::string message);

    ErrorKind kind() const { return kind_; }
    // What failed, without the kind.
    const std::string& message() const { return message_; }
    // "<kind name>: <message>", the form used in reports.
    // (what() returns the same text.)
    std::string report() const;

private:
    ErrorKind kind_;
    std::string message_;
};

}  // namespace idr
