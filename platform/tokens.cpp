#include "platform/tokens.h"

namespace arnonat {

Tokens::Tokens(std::string_view text, const char *delimiters) : rest_(text)
{
    for (const char *d = delimiters; d && *d; ++d) {
        auto c = static_cast<unsigned char>(*d);
        delimiters_[c / 8] |= static_cast<unsigned char>(1u << (c % 8));
    }
}

bool Tokens::delimiter(char c) const
{
    auto u = static_cast<unsigned char>(c);
    return (delimiters_[u / 8] >> (u % 8)) & 1u;
}

void Tokens::skip_delimiters()
{
    size_t n = 0;
    while (n < rest_.size() && delimiter(rest_[n]))
        ++n;
    rest_.remove_prefix(n);
}

bool Tokens::next(std::string_view &token)
{
    skip_delimiters();
    if (rest_.empty())
        return false;
    size_t n = 0;
    while (n < rest_.size() && !delimiter(rest_[n]))
        ++n;
    token = std::string_view(rest_.data(), n); // substr would need the C++ runtime
    rest_.remove_prefix(n);
    return true;
}

bool Tokens::rest(std::string_view &token)
{
    skip_delimiters();
    if (rest_.empty())
        return false;
    token = rest_;
    rest_ = std::string_view();
    return true;
}

} // namespace arnonat
