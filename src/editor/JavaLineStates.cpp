#include "JavaLineStates.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace JavaLineStates {
namespace {
enum class Mode { Code, Comment, DocComment, String, Character, LineComment };

bool isSpace(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }
bool isWordByte(unsigned char c) { return std::isalnum(c) || c == '_' || c == '.' || c == '$' || c >= 0x80; }

// After these the colouring takes a '/' for the start of a regular expression.
bool isOperatorBeforeExpression(unsigned char c) { return c && std::strchr("([{=,:;!%^&*|?~+-", c); }

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
} // namespace

State scan(const char* data, qsizetype base, qsizetype length, State state, bool unicodeLineEnds,
    qsizetype every, std::vector<Checkpoint>& checkpoints, qsizetype& stoppedAt)
{
    Mode mode = state.kind == Kind::Comment      ? Mode::Comment
        : state.kind == Kind::DocComment         ? Mode::DocComment
                                                 : Mode::Code;
    if (state.kind == Kind::Unknown) {
        stoppedAt = base;
        return state;
    }
    qsizetype lastCheckpoint = checkpoints.empty() ? base : checkpoints.back().position;
    qsizetype lineStart = 0;
    const auto giveUp = [&](qsizetype at) {
        stoppedAt = base + at;
        state.kind = Kind::Unknown;
        return state;
    };
    for (qsizetype i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (const qsizetype eol = (c == '\n' || c == '\r' || c >= 0xC2) ? lineEndAt(data, i, length, unicodeLineEnds) : 0) {
            // A backslash before the line end carries the line on, which only a comment shrugs off.
            if (mode != Mode::Comment && mode != Mode::DocComment && i > lineStart && data[i - 1] == '\\')
                return giveUp(i);
            if (mode != Mode::Comment && mode != Mode::DocComment)
                mode = Mode::Code;
            i += eol - 1;
            lineStart = i + 1;
            if (base + lineStart - lastCheckpoint >= every && lineStart < length) {
                lastCheckpoint = base + lineStart;
                state.kind = mode == Mode::Comment ? Kind::Comment : mode == Mode::DocComment ? Kind::DocComment : Kind::Code;
                checkpoints.push_back({lastCheckpoint, state});
            }
            continue;
        }
        const auto next = static_cast<unsigned char>(i + 1 < length ? data[i + 1] : 0);
        switch (mode) {
        case Mode::Code:
            if (isSpace(c))
                break;
            if (c == '/' && next == '/') {
                mode = Mode::LineComment;
                ++i;
                break;
            }
            if (c == '/' && next == '*') {
                const char third = i + 2 < length ? data[i + 2] : 0;
                mode = third == '*' || third == '!' ? Mode::DocComment : Mode::Comment;
                ++i; // the comment's end is looked for from the byte after its "/*"
                break;
            }
            if (c == '/' && (state.afterOperator || followsReturn(data, lineStart, i)))
                return giveUp(i);
            if (c == '#' || c == '`' || (c == '@' && next == '"') || (c == '"' && i > lineStart && data[i - 1] == 'R'))
                return giveUp(i);
            if (c == '\'' && followsNumber(data, lineStart, i))
                return giveUp(i);
            if (c == '"')
                mode = Mode::String;
            else if (c == '\'')
                mode = Mode::Character;
            state.lastSignificant = base + i;
            state.afterOperator = mode == Mode::Code && isOperatorBeforeExpression(c);
            break;
        case Mode::String:
        case Mode::Character:
            if (!isSpace(c))
                state.lastSignificant = base + i;
            if (c == '\\' && (next == '"' || next == '\'' || next == '\\')) {
                state.lastSignificant = base + ++i;
            } else if (c == (mode == Mode::String ? '"' : '\'')) {
                mode = Mode::Code;
            }
            break;
        case Mode::Comment:
        case Mode::DocComment:
            if (c == '*' && next == '/') {
                mode = Mode::Code;
                ++i;
            }
            break;
        case Mode::LineComment:
            break;
        }
    }
    if (mode == Mode::String || mode == Mode::Character || mode == Mode::LineComment)
        mode = Mode::Code;
    state.kind = mode == Mode::Comment ? Kind::Comment : mode == Mode::DocComment ? Kind::DocComment : Kind::Code;
    return state;
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
