#include "python/Bindings.h"
#include "vtc880/ToolVersion.h"

namespace vtc880::python {

std::string pathOf(const py::handle& path) {
    const py::object text = py::module_::import("os").attr("fspath")(path);
    if (py::isinstance<py::bytes>(text)) {
        return text.cast<std::string>();
    }
    // Surrogate escapes stand for bytes of a name that is not UTF-8: they go back to those bytes.
    const py::object bytes = text.attr("encode")("utf-8", "surrogateescape");
    return bytes.cast<std::string>();
}

namespace {

py::str decoded(const std::string& text, const char* errors) {
    PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), py::ssize_t(text.size()), errors);
    if (decoded == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(decoded);
}

} // namespace

py::str textOf(const std::string& text) {
    return decoded(text, "replace");
}

py::str pathText(const std::string& path) {
    return decoded(path, "surrogateescape");
}

void raise(const char* className, const std::string& message, py::object detail) {
    const py::object type = py::module_::import("vtc880").attr(className);
    const py::object error = detail.is_none() ? type(textOf(message)) : type(textOf(message), detail);
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

} // namespace vtc880::python

PYBIND11_MODULE(_vtc880, module) {
    using namespace vtc880::python;
    module.doc() = "The VTC880 firmware updater's library: the compiled part of the vtc880 package.";
    module.attr("__version__") = vtc880::toolVersion();
    bindImages(module);
    bindPorts(module);
    bindRuns(module);
    bindSimulator(module);
}
