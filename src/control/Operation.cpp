#include "vtc880/Operation.h"

#include <cstddef>
#include <iterator>

namespace vtc880 {

namespace {

struct OperationRow {
    const char* name;
    const char* done;
};

// In the order of the enum.
constexpr OperationRow operations[] = {{"update", "updated"}, {"verify", "verified"}, {"erase", "erased"}};

} // namespace

const char* operationName(Operation operation) {
    return operations[std::size_t(operation)].name;
}

const char* operationDone(Operation operation) {
    return operations[std::size_t(operation)].done;
}

std::optional<Operation> operationNamed(std::string_view name) {
    for (std::size_t i = 0; i < std::size(operations); ++i) {
        if (name == operations[i].name) {
            return Operation(i);
        }
    }
    return std::nullopt;
}

} // namespace vtc880
