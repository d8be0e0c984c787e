// The whole load path of a hand model on arbitrary bytes, as the program
// takes a model file: the reader, the check of the network, and the
// inference engine's definition and creation of it (not a run: a network of
// huge shapes may be valid and slow). Every input must be built or refused
// with a message, without a crash, a leak or a read outside the input.
#include "platform/handtracking/model/TfliteModel.h"
#include "platform/handtracking/network/XnnNetwork.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantor::handtracking;
    std::string error;
    const auto model = TfliteModel::fromBytes(std::vector<std::uint8_t>(data, data + size), error);
    const auto network = model ? XnnNetwork::fromModel(*model, nullptr, error) : nullptr;
    if (!network && error.empty()) std::abort(); // a refusal must say why
    return 0;
}
