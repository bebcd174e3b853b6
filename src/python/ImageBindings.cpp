#include "python/Bindings.h"
#include "python/Image.h"
#include "vtc880/ImageBuilder.h"
#include "vtc880/ImageCheck.h"
#include "vtc880/RecipeProblemText.h"

#include <pybind11/stl.h>

namespace vtc880::python {

namespace {

Image readImage(const py::object& path) {
    const std::string file = pathOf(path);
    auto copy = std::make_shared<FileCopy>();
    const LoadedImage check = loadImage(file, *copy);
    if (!check.ok()) {
        raise("ImageError", file + ": " + check.problem);
    }
    const std::optional<std::string> bytes = readWholeFile(file);
    if (!bytes) {
        raise("ImageError", file + ": the file could not be read again");
    }
    Image image;
    image.facts = imageFacts(file, *bytes, *copy);
    image.copy = std::move(copy);
    return image;
}

Image pack(const py::object& recipe, const py::object& output) {
    const std::string recipePath = pathOf(recipe);
    const std::string outputPath = output.is_none() ? std::string() : pathOf(output);
    RecipeOutcome outcome = buildImage(recipePath, RecipeReading::strict, outputPath);
    if (!outcome.written) {
        py::list problems;
        std::string message = recipePath + ": nothing written";
        for (const RecipeNote& note : outcome.problems) {
            const std::string text = recipeProblemText(note, recipePath);
            problems.append(
                py::make_tuple(note.line == 0 ? py::object(py::none()) : py::int_(note.line), textOf(text)));
            message += "\n" + text;
        }
        raise("RecipeError", message, problems);
    }
    // The image as it was written, read back as an update will read it.
    return readImage(pathText(outcome.resultPath));
}

py::list blocksOf(const Image& image) {
    py::list blocks;
    for (int b = 0; b < image.copy->count; ++b) {
        const FileBlock& block = image.copy->blocks[std::size_t(b)];
        blocks.append(py::make_tuple(block.address,
                                     py::bytes(reinterpret_cast<const char*>(block.data.get()), block.size)));
    }
    return blocks;
}

} // namespace

void bindImages(py::module_& module) {
    py::class_<Image>(module, "Image",
                      "A firmware image file, read whole and checked as an update reads it: it can be "
                      "sent as it is.")
        .def_property_readonly(
            "path", [](const Image& image) { return pathText(image.facts.path); },
            "The file it was read from.")
        .def_property_readonly("blocks", &blocksOf,
                               "Its blocks in file order, as (word_address, bytes): the device counts "
                               "addresses in 16-bit words.")
        .def_property_readonly(
            "version",
            [](const Image& image) -> py::object {
                return image.facts.version.empty() ? py::object(py::none())
                                                   : py::object(py::str(image.facts.version));
            },
            "The version its version block holds (\"2.1.7\"), or None when it has none.")
        .def_property_readonly(
            "data_bytes", [](const Image& image) { return image.facts.dataBytes; },
            "The bytes an update sends: the sum of the blocks' sizes.")
        .def_property_readonly(
            "file_bytes", [](const Image& image) { return image.facts.bytes; }, "The file's size in bytes.")
        .def_property_readonly(
            "sha256", [](const Image& image) { return image.facts.sha256; },
            "The SHA-256 of the file's bytes, lower-case hexadecimal, as the records give it.")
        .def("__repr__", [](const Image& image) {
            return py::str("<vtc880.Image {!r}: {} block(s), {} bytes{}>")
                .format(pathText(image.facts.path), image.copy->count, image.facts.dataBytes,
                        image.facts.version.empty() ? std::string() : ", version " + image.facts.version);
        });

    module.def("read_image", &readImage, py::arg("path"),
               "Reads a firmware image file and checks it as an update does. Raises ImageError, with the "
               "tool's own words, for a file that cannot be sent (missing, empty, a directory, a text file, "
               "cut short, blocks that overlap or run past the device's last word).");
    module.def("pack", &pack, py::arg("recipe"), py::arg("output") = py::none(),
               "Builds a firmware image file from a recipe (an INI file) as `vtc880 pack` does, strictly: "
               "anything the recipe leaves in doubt stops it. `output` replaces the recipe's [RESULT] "
               "VALUE. Returns the image written; raises RecipeError, whose .problems lists each problem "
               "as (line, text), when nothing was written.");
}

} // namespace vtc880::python
