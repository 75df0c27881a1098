#include "app/frmMain.h"
#include "editor/EditorControl.h"
#include "search/GoToLine.h"
#include "search/frmGoToLine.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

TEST(LineNumberFrom, TakesOnlyALineOfTheText)
{
    const QList<std::pair<QString, std::optional<int>>> rows = {
        {"1", 1},   {" 42 ", 42}, {"100", 100}, {"101", std::nullopt},      {"0", std::nullopt},
        {"", std::nullopt}, {"-3", std::nullopt}, {"+3", std::nullopt}, {"4x", std::nullopt},
        {"99999999999999999999", std::nullopt}, {QStringLiteral("\u0663"), std::nullopt},
    };
    for (const auto& [typed, expected] : rows)
        EXPECT_EQ(Search::lineNumberFrom(typed, 100), expected) << typed.toStdString();
    EXPECT_EQ(Search::lineNumberMessage("200", 100), "There is no line \"200\". Type a number from 1 to 100.");
}

TEST(GoToLine, TheLastLineOfALongDocumentIsShownCentredWithTheCaretAtItsStart)
{
    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    window.resize(800, 600);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // About 20 MB, some 400,000 lines.
    QByteArray text;
    const QByteArray line = "\tSystem.out.println(\"line of a long generated program\");\r\n";
    text.reserve(20 * 1024 * 1024 + line.size());
    while (text.size() < 20 * 1024 * 1024)
        text += line;
    text += "last";
    text1.loadUtf8(text);
    const int lines = text1.lines();

    window.mnuGoToLine_Click();
    frmGoToLine* dialog = frmGoToLine::instance();
    ASSERT_NE(dialog, nullptr);
    for (const QString& wrong : {QString::number(lines + 1), QStringLiteral("last")}) {
        dialog->txtLine->setText(wrong);
        dialog->cmdOK->click();
        ASSERT_EQ(frmGoToLine::instance(), dialog) << "a wrong number leaves the dialog open";
        EXPECT_TRUE(host.messageBox->calls.constLast().text.contains(QString::number(lines)));
    }
    EXPECT_EQ(text1.SelStart(), 0);

    dialog->txtLine->setText(QString::number(lines));
    dialog->cmdOK->click();
    EXPECT_EQ(frmGoToLine::instance(), nullptr);
    EXPECT_EQ(text1.SelStart(), text1.textLength() - 4);
    EXPECT_EQ(text1.SelLength(), 0);

    // A line in the middle sits in the middle of the view.
    window.mnuGoToLine_Click();
    frmGoToLine::instance()->txtLine->setText("200000");
    frmGoToLine::instance()->cmdOK->click();
    EXPECT_EQ(text1.caretLine(), 200000);
    EXPECT_EQ(text1.caretColumn(), 1);
    EXPECT_NEAR(text1.firstShownLine() + text1.linesShown() / 2, 200000, 1);
}

} // namespace
