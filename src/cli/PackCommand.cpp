#include "cli/Subcommands.h"
#include "terminal/Output.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/Fields.h"
#include "vtc880/ImageBuilder.h"
#include "vtc880/RecipeProblemText.h"

#include <memory>

namespace vtc880 {

namespace {

void addPackCommand(CLI::App& app, CliContext& context) {
    auto recipe = std::make_shared<std::string>();
    auto result = std::make_shared<std::string>();
    CLI::App* pack = app.add_subcommand("pack", "Build a firmware image file from a recipe (an INI file)");
    pack->add_option("recipe", *recipe, "The recipe")->required();
    pack->add_option("-o,--output", *result, "The image to write, instead of the recipe's [RESULT] VALUE");
    pack->callback([&context, recipe, result] {
        const Output out(context.json);
        const RecipeOutcome outcome = buildImage(*recipe, RecipeReading::strict, *result);
        Json event;
        event[field::event] = event::result;
        event[field::ok] = outcome.written;
        Json& problems = event[field::problems] = Json::array();
        for (const RecipeNote& note : outcome.problems) {
            const std::string text = recipeProblemText(note, *recipe);
            out.problem(text);
            problems.push_back(text);
        }
        if (outcome.written) {
            const FileCopy& image = outcome.image;
            out.say("wrote " + outcome.resultPath + ": " + std::to_string(image.count) +
                    (image.count == 1 ? " block, " : " blocks, ") + std::to_string(image.totalSize()) +
                    " bytes");
            event[field::image] = outcome.resultPath;
            event[field::blocks] = image.count;
            event[field::imageBytes] = image.totalSize();
        } else {
            out.problem("nothing written");
        }
        out.event(event);
        context.exitCode = outcome.written ? Exit::ok : Exit::file;
    });
}

const bool registered = registerCommand(place::pack, addPackCommand);

} // namespace

} // namespace vtc880
