#include "JavaLineStates.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace JavaLineStates {
namespace {
enum class Mode { Code, Comment, DocComment, String, Character, LineComment };

bool isWordByte(unsigned char c) { return std::isalnum(c) || c == '_' || c == '.' || c == '$' || c >= 0x80; }

// Bytes of a line end starting at at, 0 if none.
qsizetype lineEndAt(const char* data, qsizetype at, qsizetype end, bool unicodeLineEnds)
{
    const auto c = static_cast<unsigned char>(data[at]);
    if (c == '\n')
        return 1;
    if (c == '\r')
        return at + 1 < end && data[at + 1] == '\n' ? 2 : 1;
    if (unicodeLineEnds && at + 1 < end) {
        const auto next = static_cast<unsigned char>(data[at + 1]);
        if (c == 0xC2 && next == 0x85)
            return 2;
        if (c == 0xE2 && next == 0x80 && at + 2 < end && (static_cast<unsigned char>(data[at + 2]) & 0xFE) == 0xA8)
            return 3;
    }
    return 0;
}

// Whether the word run ending just before at (on the line from lineStart) is a number, where a
// quote continues it instead of starting a character literal.
bool followsNumber(const char* data, qsizetype lineStart, qsizetype at)
{
    qsizetype start = at;
    while (start > lineStart && isWordByte(static_cast<unsigned char>(data[start - 1])))
        --start;
    if (start == at)
        return false;
    const auto first = static_cast<unsigned char>(data[start]);
    return std::isdigit(first) || (first == '.' && start + 1 < at && std::isdigit(static_cast<unsigned char>(data[start + 1])));
}

bool followsReturn(const char* data, qsizetype lineStart, qsizetype at)
{
    qsizetype end = at;
    while (end > lineStart && (data[end - 1] == ' ' || data[end - 1] == '\t'))
        --end;
    constexpr qsizetype Length = 6;
    if (end - lineStart < Length || std::memcmp(data + end - Length, "return", Length) != 0)
        return false;
    return end - Length == lineStart || !isWordByte(static_cast<unsigned char>(data[end - Length - 1]));
}


// What a byte means to the scan in code; most bytes are Plain or Space and cost one look-up.
enum Class : quint8 { Plain, Space, Operator, LineEnd, Wide, Slash, DoubleQuote, SingleQuote, Stop, Backslash, At };

struct Classes {
    Class of[2][256];
    constexpr Classes() : of()
    {
        for (int wide = 0; wide < 2; ++wide) {
            for (int c = 0; c < 256; ++c) {
                Class k = Plain;
                if (c == ' ' || c == '\t' || c == '\v' || c == '\f')
                    k = Space;
                else if (c == '\n' || c == '\r')
                    k = LineEnd;
                else if (wide && (c == 0xC2 || c == 0xE2))
                    k = Wide;
                else if (c == '/')
                    k = Slash;
                else if (c == '"')
                    k = DoubleQuote;
                else if (c == '\'')
                    k = SingleQuote;
                else if (c == '#' || c == '`')
                    k = Stop;
                else if (c == '\\')
                    k = Backslash;
                else if (c == '@')
                    k = At;
                else
                    for (const char* op = "([{=,:;!%^&*|?~+-"; *op; ++op)
                        if (c == static_cast<unsigned char>(*op))
                            k = Operator;
                of[wide][c] = k;
            }
        }
    }
};
constexpr Classes classes;

// Where the backslash is that carries on the line whose line end ends just before at; -1 if none.
qsizetype carryingBackslash(const char* data, qsizetype at)
{
    qsizetype eol = at - 1;
    if (eol < 0)
        return -1;
    const auto c = static_cast<unsigned char>(data[eol]);
    if (c == '\n' && eol > 0 && data[eol - 1] == '\r')
        --eol;
    else if (c == 0x85 && eol > 0 && static_cast<unsigned char>(data[eol - 1]) == 0xC2)
        --eol;
    else if ((c & 0xFE) == 0xA8 && eol > 1 && static_cast<unsigned char>(data[eol - 2]) == 0xE2)
        eol -= 2;
    else if (c != '\n' && c != '\r')
        return -1;
    return eol > 0 && data[eol - 1] == '\\' ? eol - 1 : -1;
}
} // namespace

State scan(const char* data, qsizetype base, qsizetype length, State state, bool unicodeLineEnds,
    qsizetype every, std::vector<Checkpoint>& checkpoints, qsizetype& stoppedAt)
{
    if (state.kind == Kind::Unknown || state.kind == Kind::Continued) {
        stoppedAt = base;
        state.kind = Kind::Unknown;
        return state;
    }
    const Class* of = classes.of[unicodeLineEnds ? 1 : 0];
    Mode mode = state.kind == Kind::Comment      ? Mode::Comment
        : state.kind == Kind::DocComment         ? Mode::DocComment
                                                 : Mode::Code;
    qsizetype last = state.lastSignificant - base; // may be before data
    bool afterOperator = state.afterOperator;
    qsizetype lastCheckpoint = checkpoints.empty() ? base : checkpoints.back().position;
    qsizetype lineStart = 0;   // the last line start the colouring could start at
    qsizetype escaped = -1;    // a byte taken as escaped by the backslash before it
    const auto result = [&](Kind kind) {
        state.kind = kind;
        state.lastSignificant = last < -base ? -1 : base + last;
        state.afterOperator = afterOperator;
        return state;
    };
    const auto giveUp = [&](qsizetype at) {
        stoppedAt = base + at;
        return result(Kind::Unknown);
    };
    const auto kindOf = [](Mode m) {
        return m == Mode::Comment ? Kind::Comment : m == Mode::DocComment ? Kind::DocComment : Kind::Code;
    };
    qsizetype i = 0;
    // A line end at i of eol bytes. Strings, character literals and line comments end with it, unless
    // a backslash carries the line on (what the colouring was in goes on into the next line, a word
    // too, so colouring cannot start there); now and then the line start is kept as a checkpoint.
    const auto endLine = [&](qsizetype eol) {
        const bool carried = i > 0 && data[i - 1] == '\\' && escaped != i - 1;
        i += eol - 1;
        if (carried)
            return;
        if (mode != Mode::Comment && mode != Mode::DocComment)
            mode = Mode::Code;
        lineStart = i + 1;
        if (base + lineStart - lastCheckpoint >= every && lineStart < length) {
            lastCheckpoint = base + lineStart;
            checkpoints.push_back({lastCheckpoint, result(kindOf(mode))});
        }
    };
    for (; i < length; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        switch (mode) {
        case Mode::Code: {
            const Class k = of[c];
            if (k == Plain) {
                last = i;
                afterOperator = false;
                break;
            }
            if (k == Space)
                break;
            if (k == Operator) {
                last = i;
                afterOperator = true;
                break;
            }
            if (k == LineEnd || k == Wide) {
                if (const qsizetype eol = lineEndAt(data, i, length, unicodeLineEnds)) {
                    endLine(eol);
                    break;
                }
                last = i;
                afterOperator = false;
                break;
            }
            const auto next = static_cast<unsigned char>(i + 1 < length ? data[i + 1] : 0);
            if (k == Slash && next == '/') {
                mode = Mode::LineComment;
                ++i;
                break;
            }
            if (k == Slash && next == '*') {
                const char third = i + 2 < length ? data[i + 2] : 0;
                mode = third == '*' || third == '!' ? Mode::DocComment : Mode::Comment;
                ++i; // the comment's end is looked for from the byte after its "/*"
                break;
            }
            if (k == Slash && (afterOperator || followsReturn(data, lineStart, i)))
                return giveUp(i);
            if (k == Stop || (k == At && next == '"') || (k == DoubleQuote && i > 0 && data[i - 1] == 'R'))
                return giveUp(i);
            if (k == SingleQuote && followsNumber(data, lineStart, i))
                return giveUp(i);
            if (k == DoubleQuote)
                mode = Mode::String;
            else if (k == SingleQuote)
                mode = Mode::Character;
            last = i;
            afterOperator = false;
            break;
        }
        case Mode::String:
        case Mode::Character: {
            const Class k = of[c];
            if (k == LineEnd || k == Wide) {
                if (const qsizetype eol = lineEndAt(data, i, length, unicodeLineEnds)) {
                    endLine(eol);
                    break;
                }
            }
            if (k != Space)
                last = i;
            const auto next = static_cast<unsigned char>(i + 1 < length ? data[i + 1] : 0);
            if (k == Backslash && (next == '"' || next == '\'' || next == '\\'))
                last = escaped = ++i;
            else if (k == (mode == Mode::String ? DoubleQuote : SingleQuote))
                mode = Mode::Code;
            break;
        }
        case Mode::Comment:
        case Mode::DocComment: {
            // Only the comment's end matters here, and no checkpoint is made inside a comment.
            const void* star = std::memchr(data + i, '*', static_cast<size_t>(length - i));
            if (!star) {
                i = length;
                break;
            }
            i = static_cast<const char*>(star) - data;
            if (i + 1 < length && data[i + 1] == '/') {
                mode = Mode::Code;
                ++i;
                lineStart = std::min(lineStart, i); // kept only as a lower bound inside comments
            }
            break;
        }
        case Mode::LineComment: {
            const Class k = of[c];
            if (k == LineEnd || k == Wide) {
                if (const qsizetype eol = lineEndAt(data, i, length, unicodeLineEnds))
                    endLine(eol);
            }
            break;
        }
        }
    }
    if (mode == Mode::Comment || mode == Mode::DocComment)
        return result(carryingBackslash(data, length) >= 0 ? Kind::Continued : kindOf(mode));
    // Only a line start reached by an ordinary line end is one the colouring can start at.
    if (lineStart != length && length > 0)
        return result(Kind::Continued);
    return result(Kind::Code);
}

State Cache::stateAt(qsizetype lineStart, bool unicodeLineEnds, const Bytes& bytes)
{
    if (unicodeLineEnds != unicodeLineEnds_) {
        clear();
        unicodeLineEnds_ = unicodeLineEnds;
    }
    if (unknownFrom_ >= 0 && lineStart > unknownFrom_)
        return State{Kind::Unknown};
    if (checkpoints_.empty())
        checkpoints_.push_back({0, State{}});
    auto from = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), lineStart,
                    [](qsizetype position, const Checkpoint& checkpoint) { return position < checkpoint.position; })
        - 1;
    const Checkpoint start = *from;
    const bool last = from + 1 == checkpoints_.end();
    std::vector<Checkpoint> found;
    std::vector<Checkpoint>& into = last ? checkpoints_ : found;
    qsizetype stoppedAt = -1;
    const qsizetype length = lineStart - start.position;
    const char* data = length > 0 ? bytes(start.position, length) : nullptr;
    const State state = length > 0 ? scan(data, start.position, length, start.state, unicodeLineEnds, Every, into, stoppedAt)
                                   : start.state;
    if (state.kind == Kind::Unknown)
        unknownFrom_ = stoppedAt;
    return state;
}

void Cache::forgetAfter(qsizetype position)
{
    while (!checkpoints_.empty() && checkpoints_.back().position > position)
        checkpoints_.pop_back();
    if (unknownFrom_ >= position)
        unknownFrom_ = -1;
}

void Cache::clear()
{
    checkpoints_.clear();
    unknownFrom_ = -1;
}
} // namespace JavaLineStates
