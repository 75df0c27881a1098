#include "StatusPanel.h"

#include <QEvent>
#include <QFontMetrics>

StatusPanel::StatusPanel(int width, QWidget* parent) : QLabel(parent)
{
    setFixedSize(width, lineHeight());
}

int StatusPanel::lineHeight() const
{
    const QMargins around = contentsMargins();
    return fontMetrics().height() + around.top() + around.bottom() + 2 * margin();
}

QString StatusPanel::shapeOf(const QString& text) const
{
    QString shape = text;
    for (QChar& c : shape)
        if (c.isDigit())
            c = widestDigit_;
    return shape;
}

void StatusPanel::showText(const QString& text)
{
    if (this->text() == text)
        return;
    setText(text);
    // A label's accessible name hides its text from screen readers; the text goes with it as the description.
    setAccessibleDescription(text);
    if (widestDigit_.isNull()) {
        const QFontMetrics metrics = fontMetrics();
        widestDigit_ = u'0';
        for (char16_t digit = u'1'; digit <= u'9'; ++digit)
            if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widestDigit_))
                widestDigit_ = QChar(digit);
    }
    const QString shape = shapeOf(text);
    if (fitting_.contains(shape))
        return;
    fitting_.insert(shape);
    // What a label adds around its text, and a pixel each side for the glyphs' overhang.
    const QMargins around = contentsMargins();
    const int wanted = fontMetrics().horizontalAdvance(shape) + around.left() + around.right() + 2 * margin() + 2;
    if (wanted > width())
        setFixedWidth(wanted);
}

void StatusPanel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        fitting_.clear();
        widestDigit_ = QChar();
        setFixedHeight(lineHeight());
    }
    QLabel::changeEvent(event);
}
