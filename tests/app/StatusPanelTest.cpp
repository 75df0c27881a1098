// The status bar's panels: every text fits, and a new text of a shape already shown asks nothing of
// the window's layout (which a keystroke in a big file could not afford).
#include "app/StatusPanel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QWidget>

namespace {

class LayoutRequests : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest)
            ++count;
        return false;
    }
};

TEST(StatusPanelTest, EveryTextFitsAndTextsOfAKnownShapeLeaveTheLayoutAlone)
{
    QWidget bar;
    auto* layout = new QHBoxLayout(&bar);
    auto* panel = new StatusPanel(133, &bar);
    layout->addWidget(panel);
    layout->addStretch();
    bar.show();
    LayoutRequests requests;
    bar.installEventFilter(&requests);

    const struct {
        QString text;
        bool newShape;
    } steps[] = {
        {"Line 1, Col 1", true},
        {"Line 1, Col 2", false},
        {"Line 9, Col 8", false},
        {"Line 123456, Col 1", true},
        {"Line 654321, Col 1", false},
        {"Line 1234567890, Col 1234567890 and a long tail of words that no panel of 133 pixels holds", true},
        {"Line 2, Col 3", false},
    };
    for (const auto& step : steps) {
        const QSize before = panel->size();
        requests.count = 0;
        panel->showText(step.text);
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(panel->text(), step.text);
        EXPECT_EQ(panel->accessibleDescription(), step.text) << "screen readers read the text there";
        EXPECT_GE(panel->width(), panel->fontMetrics().horizontalAdvance(step.text)) << step.text.toStdString();
        EXPECT_GE(panel->width(), 133);
        EXPECT_EQ(panel->minimumSize(), panel->maximumSize()) << "a panel's size never follows its text by itself";
        if (!step.newShape) {
            EXPECT_EQ(panel->size(), before) << step.text.toStdString();
            EXPECT_EQ(requests.count, 0) << step.text.toStdString();
        }
    }
}

} // namespace
