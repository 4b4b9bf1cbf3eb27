// The one tokenizer of settings text, with strtok_r semantics: the pieces
// between runs of delimiter characters, where a run of delimiters counts as
// one and empty pieces are skipped.  Unlike strtok_r it never writes into
// the text, and it keeps within a view that need not end at a terminator.
#pragma once

#include <string_view>

namespace arnonat {

class Tokens {
public:
    // DELIMITERS is a set of characters, as strtok_r takes it (null: none).
    Tokens(std::string_view text, const char *delimiters);

    // The next piece; false when only delimiters are left.
    bool next(std::string_view &token);
    // Everything after the delimiters that follow the last piece, up to the
    // end of the text, delimiters included; false when nothing is left.
    bool rest(std::string_view &token);

private:
    bool delimiter(char c) const;
    void skip_delimiters();

    std::string_view rest_;
    unsigned char delimiters_[32] = {}; // one bit a character value
};

} // namespace arnonat
