// The tab's look under a host's dark theme, and what screen readers hear.
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace globalstab;
using namespace globalstab::test;

namespace {

double luminance(QRgb rgb)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

// The contrast between a widget's background (its commonest colour) and the pixel of its
// text that stands out most from it, as WCAG measures it (1 to 21).
double textContrast(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb background = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(background))
            background = it.key();
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double a = luminance(background) + 0.05;
        const double b = luminance(it.key()) + 0.05;
        best = std::max(best, std::max(a, b) / std::min(a, b));
    }
    return best;
}

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(235, 235, 235));
    dark.setColor(QPalette::Button, QColor(60, 60, 60));
    dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    return dark;
}

} // namespace

TEST(Look, LabelsStayReadableUnderADarkThemeAndTheHostMayOptIntoIt)
{
    const QPalette before = QApplication::palette();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(darkPalette());
    {
        TabHarness h;
        for (const char* label : {"lblProjectName", "lblProjectID", "lblProjectRank"})
            EXPECT_GE(textContrast(h.widget<QLabel>(label)), 4.5) << label;
        EXPECT_GE(textContrast(h.widget<QGroupBox>("fraEditPrjNameID")), 4.5);

        h.tab->setUseApplicationStyle(true);
        EXPECT_EQ(h.widget<QLabel>("lblProjectName")->palette().color(QPalette::Window),
                  QColor(45, 45, 45));
        EXPECT_EQ(h.tab->font(), QApplication::font());
        EXPECT_GE(textContrast(h.widget<QLabel>("lblProjectName")), 4.5);
        h.tab->setUseApplicationStyle(false);
        EXPECT_EQ(h.widget<QLabel>("lblProjectName")->palette().color(QPalette::Window),
                  QColor(224, 224, 224));
    }
    QApplication::setPalette(before);
}

TEST(Look, AccessibleNamesAreTheCaptionsShownAndLabelsNameTheirBoxes)
{
    TabHarness h;
    EXPECT_EQ(h.widget<QGroupBox>("fraInfo")->accessibleName(), h.tab->GetResString(5543));
    for (const auto& [function, frame] :
         {std::pair{"Add", "FraHC"}, {"Edit", "FraHC"}, {"Add", "fraInfo"}, {"Edit", "fraInfo"}}) {
        ASSERT_TRUE(h.pick(function,
                           QByteArray(frame) == "FraHC" ? "Hierarchical Category" : "Global Page"));
        auto* shown = h.widget<QGroupBox>(frame);
        EXPECT_EQ(shown->accessibleName(), shown->title()) << function << frame;
    }
    const std::pair<const char*, const char*> buddies[] = {
        {"lblProjectName", "txtProjectName"},
        {"lblProjectID", "txtProjectID"},
        {"lblProjectRank", "txtPrjoectRank"},
        {"lblPageName", "txtPageName"},
        {"lblSourceto", "txtSourceTo"},
        {"lblCategoryName", "txtCategoryName"},
        {"lblAvailCatName", "lstAvaBookCategories"}};
    for (const auto& [label, box] : buddies) {
        auto* caption = h.widget<QLabel>(label);
        EXPECT_EQ(caption->buddy(), h.tab->findChild<QWidget*>(QLatin1String(box))) << label;
        EXPECT_EQ(caption->buddy()->accessibleName(), caption->text().trimmed()) << label;
    }
}

// The default progress: nothing for a moment, then a dialog with the count and a Cancel
// button that a click reaches; the answer turns to stop, and the end takes the dialog away.
TEST(Look, DefaultProgressShowsLateCountsAndStopsOnCancel)
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QtDialogProvider dialogs;
    EXPECT_FALSE(dialogs.progress(&window, 1, 1000));
    const QProgressDialog* early = window.findChild<QProgressDialog*>();
    EXPECT_TRUE(!early || !early->isVisible());

    QProgressDialog* shown = nullptr;
    for (int done = 2; done < 1000 && !(shown && shown->isVisible()); ++done) {
        QTest::qWait(10);
        EXPECT_FALSE(dialogs.progress(&window, done, 1000));
        shown = window.findChild<QProgressDialog*>();
    }
    ASSERT_TRUE(shown && shown->isVisible());
    EXPECT_TRUE(shown->labelText().contains(" of 1000")) << shown->labelText().toStdString();

    auto* cancel = shown->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(dialogs.progress(&window, 999, 1000));
    dialogs.progressEnded(&window);
    EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);
}
