#include "about/About.h"
#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {
class AboutBoxTest : public ::testing::Test {
protected:
    ~AboutBoxTest() override
    {
        delete About::openAboutBox();
    }

    // Lets a closed box finish deleting itself.
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    frmAbout& open()
    {
        About::showAboutBox(host.services);
        frmAbout* box = About::openAboutBox();
        if (box == nullptr)
            throw std::runtime_error("no about box");
        return *box;
    }

    FakeHost host;
};

TEST_F(AboutBoxTest, LoadShowsTitleAndVersion)
{
    frmAbout& box = open();
    EXPECT_EQ(box.windowTitle(), "About Tolvane 2000");
    EXPECT_EQ(box.lblVersion()->text(), "Version 1.0.10");
    EXPECT_EQ(box.lblTitle()->text(), "Tolvane 2000");
    EXPECT_EQ(box.cmdSysInfo()->text(), "&System Info...");
    EXPECT_EQ(box.lblDisclaimer()->text(), "Check out Orbelle Technologies @ www.tolvane.example.org");
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(box.parentWidget(), nullptr);
    EXPECT_EQ(box.focusWidget(), box.cmdOK());
}

TEST_F(AboutBoxTest, OpensAtItsDesignPlaceAndSize)
{
    frmAbout& box = open();
    EXPECT_EQ(box.size(), QSize(382, 237));
    EXPECT_EQ(box.pos(), QPoint(156, 129));
    const std::pair<QWidget*, QRect> design[] = {
        {box.picIcon(), QRect(0, 0, 36, 36)},        {box.lblTitle(), QRect(72, 8, 259, 24)},
        {box.lblVersion(), QRect(72, 32, 259, 15)},  {box.lblDescription(), QRect(70, 56, 259, 46)},
        {box.Label1(), QRect(70, 104, 265, 49)},     {box.lblDisclaimer(), QRect(17, 175, 258, 55)},
        {box.cmdOK(), QRect(283, 175, 84, 23)},      {box.cmdSysInfo(), QRect(284, 205, 83, 23)},
    };
    for (const auto& [widget, rect] : design) {
        EXPECT_EQ(widget->geometry(), rect) << widget->objectName().toStdString();
        EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->objectName().toStdString();
    }
}

TEST_F(AboutBoxTest, ThereIsAtMostOneBox)
{
    frmAbout& first = open();
    first.lblTitle()->setText(QStringLiteral("changed"));
    frmAbout& second = open();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(second.lblTitle()->text(), "changed"); // brought to the front, not loaded again
}

TEST_F(AboutBoxTest, EnterEscAndOKCloseTheBoxAndTheNextShowLoadsItAnew)
{
    const std::pair<const char*, std::function<void(frmAbout&)>> ways[] = {
        {"Enter", [](frmAbout& box) { QTest::keyClick(&box, Qt::Key_Return); }},
        {"Esc", [](frmAbout& box) { QTest::keyClick(&box, Qt::Key_Escape); }},
        {"OK", [](frmAbout& box) { box.cmdOK()->click(); }},
        {"close button", [](frmAbout& box) { box.close(); }},
    };
    for (const auto& [name, press] : ways) {
        frmAbout& box = open();
        box.lblTitle()->setText(QStringLiteral("changed"));
        press(box);
        settle();
        EXPECT_EQ(About::openAboutBox(), nullptr) << name;
        EXPECT_EQ(open().lblTitle()->text(), "Tolvane 2000") << name;
    }
}

TEST_F(AboutBoxTest, SystemInfoWithoutAToolShowsTheMessageAndTheBoxStaysOpen)
{
    frmAbout& box = open();
    box.cmdSysInfo()->click();
    settle();
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_EQ(host.messageBox->calls[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(About::openAboutBox(), &box);
    EXPECT_TRUE(box.isVisible());
}

TEST_F(AboutBoxTest, SystemInfoStartsTheToolTheRecordsName)
{
    host.systemLookup->set(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"),
                           QStringLiteral("/usr/bin/hardinfo"));
    open().cmdSysInfo()->click();
    ASSERT_EQ(host.processes->calls.size(), 1);
    EXPECT_EQ(host.processes->calls[0].commandLine, "/usr/bin/hardinfo");
    EXPECT_EQ(host.processes->calls[0].windowStyle, 1);
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}

TEST_F(AboutBoxTest, HelpAboutOpensIt)
{
    frmMain window{host.services};
    window.mnuAbout_Click();
    ASSERT_NE(About::openAboutBox(), nullptr);
    EXPECT_EQ(About::openAboutBox()->windowTitle(), "About Tolvane 2000");
}
} // namespace
