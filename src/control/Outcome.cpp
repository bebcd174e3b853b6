#include "vtc880/Outcome.h"

#include "vtc880/ExitStatus.h"

#include <array>

namespace vtc880 {

namespace {

struct OutcomeRow {
    Outcome outcome;
    const char* name;
    const char* text;
    int exit;
};

constexpr std::array<OutcomeRow, 11> outcomes{{
    {Outcome::succeeded, "succeeded", "succeeded", Exit::ok},
    {Outcome::portError, "port", "port", Exit::port},
    {Outcome::portLost, "port_lost", "port lost", Exit::port},
    {Outcome::imageError, "file", "file", Exit::file},
    {Outcome::noAnswer, "no_answer", "no answer", Exit::noAnswer},
    {Outcome::eraseFailed, "erase_failed", "erase failed", Exit::erase},
    {Outcome::programmingFailed, "programming_failed", "programming failed", Exit::program},
    {Outcome::verifyFailed, "verify_failed", "verify failed", Exit::verify},
    {Outcome::interrupted, "interrupted", "interrupted", Exit::interrupt},
    {Outcome::noWorker, "no_worker", "no worker", Exit::internal},
    {Outcome::none, "none", "no result", Exit::internal},
}};

const OutcomeRow& rowOf(Outcome outcome) {
    for (const OutcomeRow& row : outcomes) {
        if (row.outcome == outcome) {
            return row;
        }
    }
    return outcomes.back();
}

} // namespace

const char* outcomeName(Outcome outcome) {
    return rowOf(outcome).name;
}

const char* outcomeText(Outcome outcome) {
    return rowOf(outcome).text;
}

int exitCodeFor(Outcome outcome) {
    return rowOf(outcome).exit;
}

std::optional<Outcome> outcomeNamed(std::string_view name) {
    for (const OutcomeRow& row : outcomes) {
        if (name == row.name && row.outcome != Outcome::none) {
            return row.outcome;
        }
    }
    return std::nullopt;
}

} // namespace vtc880
