#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Subcommands.h"
#include "image/ImageBuilder.h"

#include <filesystem>
#include <memory>

namespace {

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string describe(const RecipeNote& note, const std::string& recipe) {
    const std::string n = std::to_string(note.index);
    switch (note.problem) {
    case RecipeProblem::recipeMissing:
        return "cannot read the recipe " + quoted(recipe) + ": check the path";
    case RecipeProblem::recipeLineTooLong:
        return quoted(recipe) + " line " + n +
               " is too long to be read whole: shorten it (paths and values "
               "of at most 126 characters)";
    case RecipeProblem::sourceMissing:
        return "SOURCE_" + n + ": cannot read " + quoted(note.text) +
               " (paths are taken from the working folder " + std::filesystem::current_path().string() + ")";
    case RecipeProblem::sourceTooLarge:
        return "SOURCE_" + n + ": " + quoted(note.text) + " is larger than 1 MiB (" +
               std::to_string(maxSourceSize) + " bytes), the most one block can hold";
    case RecipeProblem::addressNotHex:
        return "warning: ADDRESS_" + n + ": " + quoted(note.text) +
               " is not hexadecimal; the previous address is used";
    case RecipeProblem::addressTooLarge:
        return "ADDRESS_" + n + ": " + quoted(note.text) + " does not fit 32 bits";
    case RecipeProblem::tooManyBlocks:
        return "SOURCE_" + n + ": too many blocks: an image holds " + std::to_string(FileCopy::maxBlocks) +
               ", the version block included";
    case RecipeProblem::noResult:
        return "the recipe has no [RESULT] VALUE: name the image with -o";
    case RecipeProblem::resultNotWritable:
        return "cannot write " + quoted(note.text) + ": check that its folder exists and is writable";
    }
    return "unknown problem";
}

} // namespace

void addPackCommand(CLI::App& app, CliContext& context) {
    auto recipe = std::make_shared<std::string>();
    auto result = std::make_shared<std::string>();
    CLI::App* pack = app.add_subcommand("pack", "Build a firmware image file from a recipe (an INI file)");
    pack->add_option("recipe", *recipe, "The recipe")->required();
    pack->add_option("-o,--output", *result, "The image to write, instead of the recipe's [RESULT] VALUE");
    pack->callback([&context, recipe, result] {
        const Output out(context.json);
        const RecipeOutcome outcome = buildImage(*recipe, *result);
        std::string problems = "[";
        for (const RecipeNote& note : outcome.problems) {
            const std::string text = describe(note, *recipe);
            out.problem(text);
            problems += (problems.size() > 1 ? "," : "") + jsonString(text);
        }
        JsonObject event;
        event.add("event", "result").add("ok", outcome.written).addRaw("problems", problems + "]");
        if (outcome.written) {
            const FileCopy& image = outcome.image;
            out.say("wrote " + outcome.resultPath + ": " + std::to_string(image.count) + " blocks, " +
                    std::to_string(image.totalSize()) + " bytes");
            event.add("image", outcome.resultPath)
                .add("blocks", std::int64_t(image.count))
                .add("bytes", std::int64_t(image.totalSize()));
        } else {
            out.problem("nothing written");
        }
        out.event(event);
        context.exitCode = outcome.written ? Exit::ok : Exit::file;
    });
}
