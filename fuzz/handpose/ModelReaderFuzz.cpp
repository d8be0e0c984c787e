// The model reader and network check on arbitrary bytes: every input must be
// either accepted as a consistent network or refused with a message, without
// a crash, a leak or a read outside the input.
#include "platform/handtracking/model/NetworkPlan.h"
#include "platform/handtracking/model/TfliteModel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantor::handtracking;
    std::string error;
    const auto model = TfliteModel::fromBytes(std::vector<std::uint8_t>(data, data + size), error);
    if (!model) {
        if (error.empty()) std::abort(); // a refusal must say why
        return 0;
    }
    const auto plan = NetworkPlan::fromModel(*model, error);
    if (!plan && error.empty()) std::abort();
    return 0;
}
