#pragma once

#include "JavaLineStates.h"

#include <QObject>

class QsciScintilla;

// Colours the lines on screen at once when they lie far beyond what the Java colouring has reached
// (Ctrl+End, Go to Line, a Find far into a big file), instead of after the colouring has worked its
// way there from the top. The lines are coloured by the same lexer, started from the state found by
// a fast scan (JavaLineStates), so they get exactly the colours colouring from the top gives. The
// control still colours from the top in slices as before, and so covers them again; until then
// nothing before the screen is touched, and whatever reads styles up to where the control has
// coloured reads what it always did.
class FarColouring : public QObject {
    Q_OBJECT

public:
    explicit FarColouring(QsciScintilla& editor);

    // Colours the document lines first..last (the control's lines) when they start beyond what the
    // control has coloured; false when it leaves them to the control.
    bool colourLines(int first, int last);
    // Another text came in whole (a load): nothing found in the one before holds for it.
    void forget();
    // Whether the bytes [from, to) hold colours got by colourLines that still stand.
    bool covers(qsizetype from, qsizetype to) const { return from >= colouredFrom_ && to <= colouredTo_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void colourScreen();
    void noticeDocument();
    void reachEnd(long styled);
    QsciScintilla& editor_;
    JavaLineStates::Cache states_;
    const void* document_ = nullptr;
    bool reachedEnd_ = false;
    qsizetype colouredFrom_ = 0;
    qsizetype colouredTo_ = 0;
};
