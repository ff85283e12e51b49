// The two pages as an installer sees them: every switch inside the frame drawn around it, and
// pictures of both pages. With RAVLIN_PAGE_PICTURES set to a folder, the pictures are saved
// there as mirell-page.png and oskan-page.png. How much room each caption has is printed.

#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "controls/switch_btn.h"
#include "pages/mirell_dlg.h"
#include "pages/oskan_dlg.h"
#include "test_page_host.h"
#include "widget_driving.h"

using namespace test_support;

namespace {

// Prints how wide and high each caption is against the half it is drawn in.
void PrintCaptionRoom(const char* page, const CSwitchBtn& sw) {
    const QFontMetrics metrics(CSwitchBtn::CaptionFont());
    const SwitchGeometry g = sw.Geometry();
    for (const auto& [text, r] :
         {std::pair{sw.m_firstText, g.first}, {sw.m_secondText, g.second}}) {
        std::printf("%s switch %d \"%s\": text %dx%d px in a half of %dx%d px\n", page,
                    sw.property("controlId").toInt(), text.toUtf8().constData(),
                    metrics.horizontalAdvance(text), metrics.height(), r.right - r.left,
                    r.bottom - r.top);
    }
}

// Every switch lies within one of the page's group boxes, and within the page.
void ExpectSwitchesFramed(const QWidget& page) {
    const auto frames = page.findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly);
    for (const CSwitchBtn* sw : page.findChildren<CSwitchBtn*>(Qt::FindDirectChildrenOnly)) {
        bool framed = false;
        for (const QGroupBox* frame : frames) {
            framed = framed || frame->geometry().contains(sw->geometry());
        }
        EXPECT_TRUE(framed) << "switch " << sw->property("controlId").toInt();
        EXPECT_TRUE(page.rect().contains(sw->geometry()));
    }
}

void SavePicture(QWidget& page, const char* name) {
    // Let every switch finish painting before the grab.
    ASSERT_TRUE(WaitFor([&] {
        for (const CSwitchBtn* sw : page.findChildren<CSwitchBtn*>()) {
            if (sw->Sliding() || sw->m_animatePending != 0) {
                return false;
            }
        }
        return true;
    }));
    const QImage image = page.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), page.size() * page.devicePixelRatioF());
    const char* folder = std::getenv("RAVLIN_PAGE_PICTURES");
    if (folder != nullptr && *folder != '\0') {
        QDir().mkpath(QString::fromUtf8(folder));
        const QString path = QDir(QString::fromUtf8(folder)).filePath(QString::fromUtf8(name));
        EXPECT_TRUE(image.save(path)) << path.toStdString();
    }
}

// Creates `page` in the host's tab while device `address` is selected, fits the host around it
// and shows it.
void ShowInHost(TestPageHost& host, CDialog& page, std::uint32_t address) {
    host.AddDevice(address);
    host.Select(0);
    ASSERT_TRUE(page.Create(host.Tab()));
    host.Tab()->resize(page.size());
    host.resize(host.Tab()->geometry().right() + 1, std::max(page.height(), 240));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
}

TEST(PagePictures, MirellPage) {
    TestPageHost host;
    CMirellDlg page;
    ASSERT_NO_FATAL_FAILURE(ShowInHost(host, page, 0x10));

    ExpectSwitchesFramed(page);
    for (const CSwitchBtn* sw : page.findChildren<CSwitchBtn*>()) {
        PrintCaptionRoom("MIRELL", *sw);
    }
    // One switch up, to show both caption colours in the picture.
    ClickUpperHalf(Switch(&page, IDC_SW_SCREEN));
    SavePicture(page, "mirell-page.png");
}

TEST(PagePictures, OskanPage) {
    TestPageHost host;
    COskanDlg page;
    ASSERT_NO_FATAL_FAILURE(ShowInHost(host, page, 0x0A));

    ExpectSwitchesFramed(page);
    PrintCaptionRoom("OSKAN", *Switch(&page, IDC_SW_CH1));
    ClickUpperHalf(Switch(&page, IDC_SW_CH1 + 2));
    SavePicture(page, "oskan-page.png");
}

}  // namespace
