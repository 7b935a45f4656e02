#pragma once
// A shared library the programs use for one option only (cairo for printing
// the form, libxlsxwriter for --xlsx), loaded the first time it is needed
// instead of at every start. The programs link small forwarding functions of
// the same names (cairo_stubs.cpp, xlsxwriter_stubs.cpp) in place of the
// library; a caller asks problem() before the first call, so that a missing
// library is a clear message, not a crash.

#include <mutex>
#include <type_traits>
#include <optional>
#include <string>

namespace idr::lazy {

class LazyLibrary {
public:
    // `soname` is what dlopen() is given; `what` names the library and its
    // Debian package for messages, e.g. "cairo (Debian package libcairo2)".
    LazyLibrary(const char* soname, const char* what) : soname_(soname), what_(what) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // Loads the library on the first call (from any thread); nothing when it
    // is there, else why not, naming it.
    std::optional<std::string> problem() const;

    // The address of `name` in the library. A library that cannot be loaded,
    // or lacks the function, ends the program with a message: callers ask
    // problem() first, so this only happens through a mistake in the program.
    void* symbol(const char* name) const;

private:
    void load() const;

    const char* soname_;
    const char* what_;
    mutable std::once_flag once_;
    mutable void* handle_ = nullptr;
    mutable std::string problem_;
};

const LazyLibrary& cairo();
const LazyLibrary& xlsxwriter();
// id-reader-cli only (stub_loader.cpp): the libraries only scans need, each
// loaded by the first call of any of its functions. The program asks
// scan_libraries_problem() (all of them loaded, or the first that cannot
// be) before its first scan.
const LazyLibrary& opencv();
const LazyLibrary& jpeg();
const LazyLibrary& spng();
const LazyLibrary& webp();
std::optional<std::string> scan_libraries_problem();

// The function `Function` (a declaration from the library's header) as
// found in `library`: resolved once per function.
template <auto& Function>
auto* real(const LazyLibrary& library, const char* name) {
    using Pointer = std::add_pointer_t<std::remove_reference_t<decltype(Function)>>;
    static const Pointer found = reinterpret_cast<Pointer>(library.symbol(name));
    return found;
}

}  // namespace idr::lazy
