#include "store/Scramble.h"

#include <cstdlib>

namespace kf {

std::string ScrambleText(const std::string& text, bool pad) {
    if (text.empty()) return std::string();
    const size_t n = text.size();
    std::string out(n / 16, 'Q');
    out += static_cast<char>('A' + n % 16);
    for (unsigned char b : text) {
        out += static_cast<char>('A' + (b & 15));
        out += static_cast<char>('A' + (b >> 4));
    }
    if (pad)
        while (out.size() % 23 != 0) out += static_cast<char>('A' + std::rand() % 16);
    return out;
}

std::string UnscrambleText(const std::string& text) {
    std::string out;
    if (text.empty()) return out;
    size_t pos = 0;
    size_t count = 0;
    while (pos < text.size() && text[pos] == 'Q') {
        count += 16;
        ++pos;
    }
    if (pos >= text.size()) return out;
    count += static_cast<unsigned char>(text[pos] - 'A');
    ++pos;
    while (out.size() < count && text.size() - pos >= 2) {
        unsigned low = static_cast<unsigned char>(text[pos] - 'A');
        unsigned high = static_cast<unsigned char>(text[pos + 1] - 'A');
        out += static_cast<char>((low + 16 * high) & 0xFF);
        pos += 2;
    }
    return out;
}

}  // namespace kf
