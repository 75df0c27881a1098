#include "about/SysInfo.h"
#include "host/AppInfo.h"
#include "host/HostError.h"
#include "host/MessageBoxService.h"
#include "host/QtFileStore.h"
#include "host/QtHost.h"
#include "javatools/JavaToolsText.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

namespace {

QString fileErrorText(bool saving, const QString& path)
{
    try {
        if (saving)
            QtFileStore().writeAll(path, "x");
        else
            QtFileStore().readAll(path, 100);
    } catch (const HostError& error) {
        return error.message();
    }
    return {};
}

// Every message the program shows, laid out as the user's screen would show it: the whole text, in
// a box no wider than about two thirds of the screen, the box on the screen.
TEST(MessageBoxLayout, EveryMessageShowsItsWholeTextOnTheScreen)
{
    QString longPath = QStringLiteral("/home/learner");
    while (longPath.size() < 140)
        longPath += QStringLiteral("/lessons-") + QString::number(longPath.size());
    longPath += QStringLiteral("/Hello.java");
    const QString missingFolder = longPath.left(60) + QStringLiteral("/missing/Hello.java");
    struct Message {
        const char* what;
        QString text;
        int style;
        QString title;
    };
    const QList<Message> messages = {
        {"save question", "Would you like to save " + longPath + "?", mb::YesNoCancel | mb::Question, "Save File?"},
        {"not found", "Cannot find \"" + QString(60, u'w') + "\"", mb::OKOnly, AppInfo::Title},
        {"not found, no space", "Cannot find \"" + QString(400, u'x') + "\"", mb::OKOnly, AppInfo::Title},
        {"not found, markup shown as typed", "Cannot find \"<b>List<String></b>\"", mb::OKOnly, AppInfo::Title},
        {"compiler help", compilerHelpText(), mb::Information, CompilerHelpTitle},
        {"no system information", SysInfo::UnavailableMessage, mb::OKOnly, ""},
        {"no javac", javacMissingText("Cannot start javac: No such file or directory (it is not on the search path, PATH)"),
         mb::OKOnly | mb::Exclamation, "Compile"},
        {"cannot open", fileErrorText(false, missingFolder), mb::OKOnly | mb::Exclamation, ""},
        {"cannot save", fileErrorText(true, missingFolder), mb::OKOnly | mb::Exclamation, ""},
        {"save as UTF-8", longPath + " cannot be saved as windows-1252: 3 of its characters (the first is \"\u20ac\") do "
                                     "not exist in that encoding.\n\nSave it as UTF-8 instead?",
         mb::YesNo | mb::Exclamation, ""},
        {"another file", longPath + " is not the document being edited.\n\nOpen it?", mb::YesNo | mb::Question,
         "Compiler Output"},
    };
    const auto squeezed = [](QString text) { return text.remove(QRegularExpression(QStringLiteral("\\s"))); };
    for (const Message& message : messages) {
        SCOPED_TRACE(message.what);
        ASSERT_FALSE(message.text.isEmpty());
        const std::unique_ptr<QMessageBox> box = QtMessageBox::makeBox(message.text, message.style, message.title, nullptr);
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(squeezed(label->text()), squeezed(message.text)) << "every character is shown, only broken into lines";
        EXPECT_EQ(label->accessibleName(), message.text);

        const QRect text = label->fontMetrics().boundingRect(QRect(0, 0, 100000, 100000), 0, label->text());
        EXPECT_LE(text.width(), label->contentsRect().width()) << label->text().toStdString();
        EXPECT_LE(text.height(), label->contentsRect().height());
        EXPECT_TRUE(box->rect().contains(label->geometry()));
        const QRect screen = box->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(box->frameGeometry()));
        EXPECT_LE(box->width(), screen.width() * 2 / 3 + 2);
        // A short text stays on one line.
        if (message.text.size() < 50) {
            EXPECT_FALSE(label->text().contains(u'\n')) << label->text().toStdString();
        }
    }
}

TEST(MessageBoxLayout, ABoxPlacedPastTheScreensEdgeComesBackWhole)
{
    // A window manager that placed the box by an earlier, smaller size leaves it reaching past the
    // edge, its buttons out of sight.
    const std::unique_ptr<QMessageBox> box = QtMessageBox::makeBox(QString(300, u'w'), mb::OKOnly, QStringLiteral("Help"), nullptr);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    const QRect screen = box->screen()->availableGeometry();
    box->move(screen.right() - box->width() / 3, screen.bottom() - box->height() / 3);
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen.contains(box->frameGeometry())) << box->frameGeometry().x() << "," << box->frameGeometry().y();
}

} // namespace
