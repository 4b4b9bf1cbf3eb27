#include "tools/apply/shell_reader.h"

#include <cstdlib>
#include <cstring>

#include "platform/shell_word.h"

namespace arnonat::apply {

namespace {

// Characters a shell takes literally outside quotes: the shell-word helper's
// plain set, and the `!` of iptables' negations (a keyword only as the first
// word of a command, which is always iptables here).
bool is_bare(unsigned char c)
{
    return c == '!' || is_plain_shell_char(c);
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

bool is_command_name(const char *word)
{
    return !std::strcmp(word, "iptables") || !std::strcmp(word, "ip4tables") ||
           !std::strcmp(word, "ip6tables");
}

bool equals(const char *text, size_t length, const char *word)
{
    return std::strlen(word) == length && !std::memcmp(text, word, length);
}

bool is_name_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Follows the shell's structure from the start of a command to the end of
// the line where it is back at the top level.  Any construct it does not
// know, or a structure that does not add up, gives up: the rest of the text.
class Tracker {
public:
    Tracker(const char *text, size_t length, size_t start) : t_(text), n_(length), p_(start) {}
    size_t run();

private:
    enum Kind : unsigned char { Top, If, Loop, Case, Brace, Subshell, Subst, Backquote, Arith, Param, Dquote };
    enum CaseState : unsigned char { Subject, ExpectIn, Pattern, Body };
    // What a command substitution hides of the command around it.
    struct State {
        bool cmdpos = true;       // the next word is the first of a command
        bool continued = false;   // after | && ||: the command goes on
        bool expect_body = false; // after name(): a compound command follows
        bool redirect = false;    // the next word is a redirection's target
        bool in_word = false;
        bool plain_word = false;  // no quote, escape or expansion in it
        int words = 0;            // words of the current simple command
        size_t word_start = 0;
    };
    struct Frame {
        Kind kind;
        unsigned char aux; // Case: its CaseState; Arith: open parentheses
        State saved;       // Subst, Backquote: the command around it
    };
    struct Heredoc {
        char delim[64];
        size_t length;
        bool strip_tabs;
    };
    static constexpr int kMaxDepth = 64;
    static constexpr int kMaxHeredocs = 8;

    Kind top() const { return stack_[depth_ - 1].kind; }
    unsigned char &aux() { return stack_[depth_ - 1].aux; }
    void push(Kind kind, unsigned char aux = 0);
    void pop() { --depth_; }
    bool expect(Kind kind);
    void start_word(bool plain);
    void end_word();
    void keyword(const char *w, size_t len);
    void code_char();
    void quoted_char();
    void dollar();
    void newline();
    void operator_char(char c);
    void open_paren();
    void close_paren();
    void redirection();
    void read_delimiter(bool strip_tabs);
    void read_heredoc_bodies();
    void single_quote();
    void fail() { failed_ = true; }

    const char *t_;
    size_t n_;
    size_t p_;
    Frame stack_[kMaxDepth];
    int depth_ = 0;
    State s_;
    Heredoc heredocs_[kMaxHeredocs];
    int pending_ = 0;
    bool failed_ = false;
    bool done_ = false;
};

size_t Tracker::run()
{
    push(Top);
    while (p_ < n_ && !failed_ && !done_) {
        switch (top()) {
        case Dquote:
        case Param:
        case Arith:
            quoted_char();
            break;
        default:
            code_char();
            break;
        }
    }
    return done_ && !failed_ ? p_ : n_;
}

void Tracker::push(Kind kind, unsigned char aux)
{
    if (depth_ == kMaxDepth) {
        fail();
        return;
    }
    stack_[depth_++] = Frame{kind, aux, s_};
}

bool Tracker::expect(Kind kind)
{
    if (top() != kind)
        fail();
    return !failed_;
}

void Tracker::start_word(bool plain)
{
    if (!s_.in_word) {
        s_.in_word = true;
        s_.plain_word = plain;
        s_.word_start = p_;
    } else if (!plain) {
        s_.plain_word = false;
    }
}

void Tracker::end_word()
{
    if (!s_.in_word)
        return;
    s_.in_word = false;
    s_.continued = false;
    if (s_.redirect) {
        s_.redirect = false;
        return;
    }
    ++s_.words;
    keyword(t_ + s_.word_start, p_ - s_.word_start);
}

// The reserved words, where a shell takes them as such.
void Tracker::keyword(const char *w, size_t len)
{
    bool plain = s_.plain_word;
    if (top() == Case && aux() != Body) {
        if (aux() == Subject)
            aux() = ExpectIn;
        else if (aux() == ExpectIn)
            equals(w, len, "in") ? void(aux() = Pattern) : fail();
        else if (plain && equals(w, len, "esac"))
            pop();
        return;
    }
    if (s_.cmdpos && plain) {
        struct Row {
            const char *word;
            Kind opens;    // Top: opens nothing
            Kind inside;   // Top: may stand anywhere
            bool closes;
            bool cmdpos;   // a command follows
        };
        static constexpr Row kWords[] = {
            {"if", If, Top, false, true},       {"then", Top, If, false, true},
            {"elif", Top, If, false, true},     {"else", Top, If, false, true},
            {"fi", Top, If, true, false},       {"while", Loop, Top, false, true},
            {"until", Loop, Top, false, true},  {"for", Loop, Top, false, false},
            {"do", Top, Loop, false, true},     {"done", Top, Loop, true, false},
            {"case", Case, Top, false, false},  {"esac", Top, Case, true, false},
            {"{", Brace, Top, false, true},     {"}", Top, Brace, true, false},
            {"!", Top, Top, false, true},
        };
        for (const Row &row : kWords) {
            if (!equals(w, len, row.word))
                continue;
            if (row.inside != Top && !expect(row.inside))
                return;
            if (row.closes)
                pop();
            if (row.opens != Top) {
                push(row.opens, row.opens == Case ? Subject : 0);
                s_.expect_body = false;
            }
            s_.cmdpos = row.cmdpos;
            s_.words = 0;
            return;
        }
        // function NAME { ...: not followed; give up
        if (equals(w, len, "function") || equals(w, len, "select"))
            return fail();
    }
    if (!s_.cmdpos)
        return;
    // An assignment keeps the place of the command word.
    size_t i = 0;
    while (i < len && is_name_char(w[i]))
        ++i;
    bool assignment = i > 0 && i < len && w[i] == '=' && !(w[0] >= '0' && w[0] <= '9');
    if (!assignment)
        s_.cmdpos = false;
}

void Tracker::code_char()
{
    char c = t_[p_];
    switch (c) {
    case ' ':
    case '\t':
        end_word();
        ++p_;
        return;
    case '\n':
        end_word();
        ++p_;
        newline();
        return;
    case '#':
        if (s_.in_word)
            break;
        while (p_ < n_ && t_[p_] != '\n')
            ++p_;
        return;
    case '\\':
        if (p_ + 1 < n_ && t_[p_ + 1] == '\n') {
            p_ += 2;
            return;
        }
        start_word(false);
        p_ = p_ + 2 < n_ ? p_ + 2 : n_;
        return;
    case '\'':
        start_word(false);
        single_quote();
        return;
    case '"':
        start_word(false);
        ++p_;
        push(Dquote);
        return;
    case '`':
        if (top() == Backquote) {
            end_word();
            s_ = stack_[depth_ - 1].saved;
            pop();
            ++p_;
            return;
        }
        start_word(false);
        ++p_;
        push(Backquote);
        s_ = State{};
        return;
    case '$':
        start_word(false);
        dollar();
        return;
    case ';':
    case '&':
    case '|':
        end_word();
        operator_char(c);
        return;
    case '(':
        end_word();
        open_paren();
        return;
    case ')':
        end_word();
        close_paren();
        return;
    case '<':
    case '>':
        redirection();
        return;
    default:
        break;
    }
    start_word(true);
    ++p_;
}

// Inside double quotes, ${...} and $((...)).
void Tracker::quoted_char()
{
    char c = t_[p_];
    Kind kind = top();
    if (c == '\\') {
        p_ = p_ + 2 < n_ ? p_ + 2 : n_;
    } else if (c == '$') {
        dollar();
    } else if (c == '`') {
        ++p_;
        push(Backquote);
        s_ = State{};
    } else if (kind == Dquote && c == '"') {
        pop();
        ++p_;
    } else if (kind != Dquote && c == '"') {
        ++p_;
        push(Dquote);
    } else if (kind != Dquote && c == '\'') {
        single_quote();
    } else if (kind == Param && c == '}') {
        pop();
        ++p_;
    } else if (kind == Arith && c == '(') {
        ++aux();
        ++p_;
    } else if (kind == Arith && c == ')') {
        if (aux() > 0) {
            --aux();
            ++p_;
        } else if (p_ + 1 < n_ && t_[p_ + 1] == ')') {
            pop();
            p_ += 2;
        } else {
            fail();
        }
    } else {
        ++p_;
    }
}

void Tracker::dollar()
{
    const char *rest = t_ + p_ + 1;
    size_t left = n_ - p_ - 1;
    if (left >= 2 && rest[0] == '(' && rest[1] == '(') {
        p_ += 3;
        push(Arith);
    } else if (left >= 1 && rest[0] == '(') {
        p_ += 2;
        push(Subst);
        s_ = State{};
    } else if (left >= 1 && rest[0] == '{') {
        p_ += 2;
        push(Param);
    } else {
        ++p_;
    }
}

void Tracker::newline()
{
    if (pending_) {
        read_heredoc_bodies();
        if (failed_)
            return;
    }
    if (depth_ == 1 && !s_.continued && !s_.expect_body && !s_.redirect) {
        done_ = true;
        return;
    }
    if (!s_.continued && !(top() == Case && aux() != Body)) {
        s_.cmdpos = true;
        s_.words = 0;
    }
}

void Tracker::operator_char(char c)
{
    char next = p_ + 1 < n_ ? t_[p_ + 1] : '\0';
    if (c == ';' && next == ';') {
        if (top() != Case || aux() != Body)
            return fail();
        aux() = Pattern;
        p_ += 2;
        return;
    }
    bool pattern = top() == Case && aux() == Pattern;
    p_ += next == c ? 2 : 1;
    s_.continued = c == '|' || (c == '&' && next == '&');
    if (pattern)
        s_.continued = false;
    else
        s_.cmdpos = true;
    s_.words = 0;
}

void Tracker::open_paren()
{
    ++p_;
    if (top() == Case && aux() == Pattern)
        return;
    if (s_.cmdpos) {
        push(Subshell);
        s_.expect_body = false;
        s_.words = 0;
        return;
    }
    // NAME(): a function definition
    if (s_.words == 1 && !s_.redirect) {
        while (p_ < n_ && is_blank(t_[p_]))
            ++p_;
        if (p_ < n_ && t_[p_] == ')') {
            ++p_;
            s_.expect_body = true;
            s_.cmdpos = true;
            s_.words = 0;
            return;
        }
    }
    fail();
}

void Tracker::close_paren()
{
    ++p_;
    Kind kind = top();
    if (kind == Case && aux() == Pattern) {
        aux() = Body;
        s_.cmdpos = true;
        s_.words = 0;
    } else if (kind == Subshell) {
        pop();
        s_.cmdpos = false;
    } else if (kind == Subst) {
        s_ = stack_[depth_ - 1].saved;
        pop();
    } else {
        fail();
    }
}

void Tracker::redirection()
{
    // Digits right before the operator name a descriptor, not a word.
    if (s_.in_word && s_.plain_word) {
        size_t i = s_.word_start;
        while (i < p_ && t_[i] >= '0' && t_[i] <= '9')
            ++i;
        if (i == p_)
            s_.in_word = false;
    }
    end_word();
    char c = t_[p_];
    char next = p_ + 1 < n_ ? t_[p_ + 1] : '\0';
    if (c == '<' && next == '<') {
        p_ += 2;
        bool strip = p_ < n_ && t_[p_] == '-';
        if (p_ < n_ && t_[p_] == '<')
            return fail(); // <<< is not sh
        if (strip)
            ++p_;
        read_delimiter(strip);
        return;
    }
    ++p_;
    if (next == '>' || next == '&' || next == '|' || (c == '<' && next == '>'))
        ++p_;
    s_.redirect = true;
}

void Tracker::read_delimiter(bool strip_tabs)
{
    if (pending_ == kMaxHeredocs)
        return fail();
    Heredoc &h = heredocs_[pending_];
    h.length = 0;
    h.strip_tabs = strip_tabs;
    while (p_ < n_ && is_blank(t_[p_]))
        ++p_;
    auto put = [&](char ch) {
        if (h.length + 1 >= sizeof h.delim)
            return fail();
        h.delim[h.length++] = ch;
    };
    while (p_ < n_ && !failed_) {
        char c = t_[p_];
        if (is_blank(c) || c == '\n' || std::strchr(";&|<>()", c))
            break;
        if (c == '\'' || c == '"') {
            const char *close = static_cast<const char *>(std::memchr(t_ + p_ + 1, c, n_ - p_ - 1));
            if (!close)
                return fail();
            for (const char *q = t_ + p_ + 1; q < close; ++q)
                put(*q);
            p_ = static_cast<size_t>(close - t_) + 1;
        } else if (c == '\\' && p_ + 1 < n_) {
            put(t_[p_ + 1]);
            p_ += 2;
        } else {
            put(c);
            ++p_;
        }
    }
    if (!failed_ && h.length == 0)
        fail();
    if (!failed_)
        ++pending_;
}

void Tracker::read_heredoc_bodies()
{
    for (int i = 0; i < pending_; ++i) {
        const Heredoc &h = heredocs_[i];
        for (;;) {
            if (p_ >= n_)
                return fail();
            const char *eol = static_cast<const char *>(std::memchr(t_ + p_, '\n', n_ - p_));
            size_t end = eol ? static_cast<size_t>(eol - t_) : n_;
            size_t q = p_;
            if (h.strip_tabs)
                while (q < end && t_[q] == '\t')
                    ++q;
            bool last = end - q == h.length && !std::memcmp(t_ + q, h.delim, h.length);
            p_ = eol ? end + 1 : n_;
            if (last)
                break;
        }
    }
    pending_ = 0;
}

void Tracker::single_quote()
{
    const char *close = static_cast<const char *>(std::memchr(t_ + p_ + 1, '\'', n_ - p_ - 1));
    if (!close)
        return fail();
    p_ = static_cast<size_t>(close - t_) + 1;
}

unsigned count_newlines(const char *text, size_t length)
{
    unsigned n = 0;
    for (size_t i = 0; i < length; ++i)
        n += text[i] == '\n';
    return n;
}

} // namespace

size_t shell_command_end(const char *text, size_t length, size_t start)
{
    return Tracker(text, length, start).run();
}

bool may_redefine_commands(const char *text, size_t length)
{
    // Commands that define or change commands, and the firewall's variables
    // that choose where a line goes (when assigned).
    static constexpr const char *kCommands[] = {"alias", "unalias", "eval", "source", "function", "unset",
                                                "read", "readonly", "set", "getopts", "typeset", "declare",
                                                "local", "export", "hash", "command", "builtin", "enable"};
    static constexpr const char *kVariables[] = {"IPV6_SUPPORT", "IP4TABLES", "IP6TABLES", "IP4TABLES_RESTORE",
                                                 "IP6TABLES_RESTORE", "IPTABLES_OPTIONS", "IFS"};
    size_t i = 0;
    while (i < length) {
        char c = text[i];
        if (c == '(') {
            size_t j = i + 1;
            while (j < length && is_blank(text[j]))
                ++j;
            if (j < length && text[j] == ')')
                return true; // a function definition
        }
        // ". FILE": a word that is just a dot
        if (c == '.' && (i == 0 || std::strchr(" \t\n;&|({", text[i - 1])) && i + 1 < length &&
            is_blank(text[i + 1]))
            return true;
        if (!is_name_char(c)) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < length && is_name_char(text[i]))
            ++i;
        const char *word = text + start;
        size_t len = i - start;
        if (start > 0 && is_name_char(text[start - 1]))
            continue;
        for (const char *command : kCommands)
            if (equals(word, len, command))
                return true;
        bool assigned = (i < length && text[i] == '=') ||
                        (i + 1 < length && text[i] == ':' && text[i + 1] == '=');
        if (assigned)
            for (const char *variable : kVariables)
                if (equals(word, len, variable))
                    return true;
    }
    return false;
}

ShellReader::ShellReader(const char *text, size_t length, unsigned first_line)
    : text_(text), length_(length), line_(first_line),
      words_(static_cast<char *>(std::malloc(length + 1)))
{
}

ShellReader::~ShellReader()
{
    std::free(words_);
}

bool ShellReader::next(Command &out)
{
    if (!words_)
        return false;
    // Blank lines and comment lines.
    for (;;) {
        size_t q = pos_;
        while (q < length_ && is_blank(text_[q]))
            ++q;
        if (q < length_ && text_[q] == '#')
            while (q < length_ && text_[q] != '\n')
                ++q;
        if (q >= length_) {
            pos_ = length_;
            return false;
        }
        if (text_[q] != '\n')
            break;
        pos_ = q + 1;
        ++line_;
    }
    size_t start = pos_;
    out = Command{};
    out.begin = start;
    out.first_line = line_;
    if (!shell_only_ && read_words(out, start)) {
        pos_ = out.end;
        line_ = out.last_line + 1;
        return true;
    }
    out.kind = Command::Shell;
    out.argc = 0;
    out.argv[0] = nullptr;
    out.end = shell_only_ ? length_ : shell_command_end(text_, length_, start);
    unsigned newlines = count_newlines(text_ + start, out.end - start);
    bool closed = out.end > start && text_[out.end - 1] == '\n';
    out.last_line = line_ + newlines - (closed ? 1 : 0);
    if (may_redefine_commands(text_ + start, out.end - start))
        shell_only_ = true;
    pos_ = out.end;
    line_ = out.last_line + 1;
    return true;
}

bool ShellReader::read_words(Command &out, size_t start)
{
    // Words are decoded in place of their text: never longer than it.
    char *w = words_ + start;
    size_t p = start;
    int argc = 0;
    bool first_quoted = false;
    for (;;) {
        while (p < length_ && is_blank(text_[p]))
            ++p;
        if (p >= length_ || text_[p] == '\n')
            break;
        if (argc == kMaxWords)
            return false;
        out.argv[argc++] = w;
        while (p < length_ && !is_blank(text_[p]) && text_[p] != '\n') {
            unsigned char c = static_cast<unsigned char>(text_[p]);
            if (is_bare(c)) {
                *w++ = static_cast<char>(c);
                ++p;
                continue;
            }
            if (c == '\\' && p + 1 < length_ && text_[p + 1] == '\'') {
                *w++ = '\'';
                p += 2;
                if (argc == 1)
                    first_quoted = true;
                continue;
            }
            if (c != '\'')
                return false;
            const char *close = static_cast<const char *>(std::memchr(text_ + p + 1, '\'', length_ - p - 1));
            if (!close)
                return false;
            size_t len = static_cast<size_t>(close - (text_ + p + 1));
            if (std::memchr(text_ + p + 1, '\0', len))
                return false;
            std::memcpy(w, text_ + p + 1, len);
            w += len;
            p += len + 2;
            if (argc == 1)
                first_quoted = true;
        }
        *w++ = '\0';
    }
    if (argc == 0 || first_quoted || !is_command_name(out.argv[0]))
        return false;
    out.kind = Command::Words;
    out.argc = argc;
    out.argv[argc] = nullptr;
    out.end = p < length_ ? p + 1 : p;
    out.last_line = out.first_line + count_newlines(text_ + start, p - start);
    return true;
}

} // namespace arnonat::apply
