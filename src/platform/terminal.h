#pragma once

namespace vexa {

enum class StandardStream {
    Input,
    Output,
    Error,
};

// Whether the stream is a terminal (a console on Windows) rather than a file, a pipe or nothing, so
// that a program asks questions and draws live lines only where a person is watching.
bool isTerminal(StandardStream stream);

} // namespace vexa
