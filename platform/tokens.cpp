#include "platform/tokens.h"

namespace arnonat {

bool Tokens::delimiter(char c) const
{
    return delimiters_.find(c) != std::string_view::npos;
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
