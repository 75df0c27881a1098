#pragma once

#include <QtGlobal>

#include <functional>
#include <vector>

// Where the Java colouring stands at the start of a line, found by reading the bytes instead of
// colouring them (many times faster), so that a far place can be coloured without colouring all the
// text before it. At a line start the colouring is inside a block comment, a doc comment, or in
// code: strings, character literals and line comments end with their line. The colouring also
// looks back from where it starts for the last character that is no space and no comment (a '/'
// after an operator starts a regular expression for it), so that is kept too.
//
// The rules are the colouring's, not Java's: a text block's quotes are strings ending with their
// line, as the colouring has them, and a backslash at a line's end carries the line on. Where the
// colouring does something line-spanning that the scan does not follow (a '#' directive, a '/' it may
// take for a regular expression, raw and verbatim strings), the scan gives up: from there on only
// colouring from the start is right.
namespace JavaLineStates {
// Continued: the line before ends in a backslash, which the colouring takes as carrying it on: no
// place to start colouring at.
enum class Kind : quint8 { Code, Comment, DocComment, Continued, Unknown };

struct State {
    Kind kind = Kind::Code;
    // The last character before the line that is neither space nor in a comment (-1: none), and
    // whether it is an operator after which a '/' would start a regular expression.
    qsizetype lastSignificant = -1;
    bool afterOperator = false;
};

struct Checkpoint {
    qsizetype position; // a line start
    State state;
};

// Reads length bytes of a text from data, which holds the text's bytes from position base on;
// base is a line start in state, and so is base + length. Appends a checkpoint at the first line
// start after every `every` bytes to checkpoints. Returns the state at base + length; Unknown if
// the scan gave up, with stoppedAt where. unicodeLineEnds: U+2028, U+2029 and U+0085 end lines too.
State scan(const char* data, qsizetype base, qsizetype length, State state, bool unicodeLineEnds,
    qsizetype every, std::vector<Checkpoint>& checkpoints, qsizetype& stoppedAt);

// The states of one text at its line starts, kept as checkpoints so that asking again nearby costs a
// short scan. Bytes(from, length) gives the text's bytes [from, from + length).
class Cache {
public:
    using Bytes = std::function<const char*(qsizetype from, qsizetype length)>;
    static constexpr qsizetype Every = 64 * 1024;

    State stateAt(qsizetype lineStart, bool unicodeLineEnds, const Bytes& bytes);
    // The text changed at position: what was found after it no longer holds.
    void forgetAfter(qsizetype position);
    void clear();

private:
    std::vector<Checkpoint> checkpoints_;
    qsizetype unknownFrom_ = -1;
    bool unicodeLineEnds_ = false;
};
} // namespace JavaLineStates
