#pragma once

#include "midi/Nrpn.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace vantor::testing {

// The bytes a synth received, read as a synth reads them: whole NRPNs (the
// four Control Changes 99, 98, 6, 38 of one channel, in a row, each complete)
// and everything else. A Control Change outside a whole NRPN is what a synth
// applies to the wrong or a half-selected parameter.
struct NrpnStream {
    std::vector<midi::NrpnMessage> whole;
    std::size_t orphans = 0; // messages (or stray data bytes) outside a whole NRPN
    bool endsWhole = true;   // false while the last NRPN is still arriving (or was cut short)

    static NrpnStream read(std::span<const std::uint8_t> bytes) {
        // Split at status bytes: a message is its status and the data after it.
        std::vector<std::span<const std::uint8_t>> messages;
        for (std::size_t start = 0; start < bytes.size();) {
            std::size_t end = start + 1;
            while (end < bytes.size() && bytes[end] < 0x80) ++end;
            messages.push_back(bytes.subspan(start, end - start));
            start = end;
        }
        NrpnStream stream;
        constexpr std::uint8_t kControllers[] = {99, 98, 6, 38};
        const auto isPart = [&](std::size_t index, int part, int status) {
            const auto message = messages[index];
            return message.size() == 3 && (message[0] & 0xF0) == 0xB0 && (part == 0 || message[0] == status) &&
                   message[1] == kControllers[part];
        };
        for (std::size_t i = 0; i < messages.size();) {
            const int status = messages[i][0];
            if (i + 4 <= messages.size() && isPart(i, 0, status) && isPart(i + 1, 1, status) &&
                isPart(i + 2, 2, status) && isPart(i + 3, 3, status)) {
                stream.whole.push_back({status & 0x0F, messages[i][2] << 7 | messages[i + 1][2],
                                        messages[i + 2][2] << 7 | messages[i + 3][2]});
                i += 4;
                stream.endsWhole = true;
            } else {
                ++stream.orphans;
                ++i;
                stream.endsWhole = false;
            }
        }
        return stream;
    }

    // Each parameter's last value.
    std::map<int, int> lastValues() const {
        std::map<int, int> last;
        for (const auto& nrpn : whole) last[nrpn.parameter] = nrpn.value;
        return last;
    }
    // Values that arrived after a greater one of the same parameter: older
    // than one already received, where the sender only ever raised them.
    std::size_t olderThanSeen() const {
        std::map<int, int> highest;
        std::size_t older = 0;
        for (const auto& nrpn : whole) {
            const auto [seen, first] = highest.try_emplace(nrpn.parameter, nrpn.value);
            if (first) continue;
            if (nrpn.value < seen->second) ++older;
            seen->second = std::max(seen->second, nrpn.value);
        }
        return older;
    }
};

} // namespace vantor::testing
