#include "settings/utf8.h"

#include <cstddef>

namespace kadrovix {

namespace {

bool is_continuation(unsigned char byte) noexcept {
    return (byte & 0xC0U) == 0x80U;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) noexcept {
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80U) {
            ++i;
            continue;
        }
        // The allowed range of the second byte is where overlong forms,
        // surrogates and values past U+10FFFF are ruled out.
        std::size_t length = 0;
        unsigned char second_min = 0x80U;
        unsigned char second_max = 0xBFU;
        if (lead >= 0xC2U && lead <= 0xDFU) {
            length = 2;
        } else if (lead == 0xE0U) {
            length = 3;
            second_min = 0xA0U;
        } else if ((lead >= 0xE1U && lead <= 0xECU) || lead == 0xEEU || lead == 0xEFU) {
            length = 3;
        } else if (lead == 0xEDU) {
            length = 3;
            second_max = 0x9FU;
        } else if (lead == 0xF0U) {
            length = 4;
            second_min = 0x90U;
        } else if (lead >= 0xF1U && lead <= 0xF3U) {
            length = 4;
        } else if (lead == 0xF4U) {
            length = 4;
            second_max = 0x8FU;
        } else {
            return false;  // a stray continuation byte, C0/C1 or F5..FF
        }
        if (size - i < length) {
            return false;
        }
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < second_min || second > second_max) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (!is_continuation(static_cast<unsigned char>(bytes[i + k]))) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace kadrovix
