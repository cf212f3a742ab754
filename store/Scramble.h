// The store's letter code: reversible, keyless, not encryption.
#pragma once
#include <string>

namespace kf {

// Length prefix ("Q" per 16 bytes, then "A" + n % 16), then each byte as two
// letters "A" + low nibble, "A" + high nibble; with pad, filler letters up to
// the next multiple of 23.
std::string ScrambleText(const std::string& text, bool pad);
// Never reads past the text; a text not in the code gives meaningless bytes.
std::string UnscrambleText(const std::string& text);

}  // namespace kf
