#pragma once

#include <QLabel>
#include <QSet>
#include <QString>

// A panel of the status bar whose text changes all the time (the caret's place, the clock). A label
// that may change its size with its text has the whole window laid out again at every change, and
// measuring a text costs more than the rest of a keystroke in the editor; so a panel keeps a fixed
// size, grown only when a text of a new shape needs more room. Digits count as the widest digit:
// "Line 9, Col 1" needs no more room than "Line 1, Col 9" once that was measured.
class StatusPanel : public QLabel {
public:
    StatusPanel(int width, QWidget* parent = nullptr);

    void showText(const QString& text);
    // The text with each digit made the font's widest, the width the panel keeps room for.
    QString shapeOf(const QString& text) const;

protected:
    void changeEvent(QEvent* event) override;

private:
    int lineHeight() const;
    QSet<QString> fitting_; // shapes known to fit
    QChar widestDigit_;
};
