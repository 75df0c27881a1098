#pragma once

#include <QString>

// Message box styles and answers, with the numbers callers have always used.
namespace mb {
constexpr int OKOnly = 0;
constexpr int OKCancel = 1;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;

constexpr int OK = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace mb

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Shows a modal message and returns the button pressed. An empty title means the application title.
    virtual int show(const QString& text, int style = mb::OKOnly, const QString& title = QString()) = 0;
};
