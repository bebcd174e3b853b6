#pragma once

#include <pybind11/pybind11.h>
#include <string>

namespace vtc880::python {

namespace py = pybind11;

// Each part of the module adds its classes and functions.
void bindImages(py::module_& module);
void bindPorts(py::module_& module);
void bindRuns(py::module_& module);
void bindSimulator(py::module_& module);

// A path as the library takes it: a str (as UTF-8), bytes as they stand, or an os.PathLike.
std::string pathOf(const py::handle& path);

// Text for people, from the library's UTF-8; a byte that is not UTF-8 (a file name's) becomes U+FFFD,
// as in the tool's JSON.
py::str textOf(const std::string& text);
// A path or port name as Python's os functions give it back: bytes that are not UTF-8 as surrogate
// escapes, so that the name opens the same file again.
py::str pathText(const std::string& path);

// Raises the package's exception `className` (vtc880.ImageError, ...) with `message`, and with
// `detail` as its second argument where there is one: the .result of an UpdateError, the .problems
// of a RecipeError.
[[noreturn]] void raise(const char* className, const std::string& message, py::object detail = py::none());

} // namespace vtc880::python
