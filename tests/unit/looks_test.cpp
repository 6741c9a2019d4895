#include "support/looks.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

TEST(Looks, NamesAreStyleAndTheIndex)
{
    EXPECT_EQ(LookName(0), "Style_0");
    EXPECT_EQ(LookName(7), "Style_7");
    EXPECT_EQ(LookName(12), "Style_12");
}

TEST(Looks, LookupIgnoresCaseAndFindsNothingForUnknownNames)
{
    const auto reference = LookStyleSheet("Style_3");
    ASSERT_TRUE(reference.has_value());
    for (const char *name : {"STYLE_3", "style_3", "sTyLe_3"})
        EXPECT_EQ(LookStyleSheet(name), reference) << name;

    for (const char *name : {"Style_8", "Style_9", "Style_-1", "Style_", "", "Style_3.qss", "Style_33"})
        EXPECT_EQ(LookStyleSheet(name), std::nullopt) << name;
}

// Each look has to style every kind of control the windows use, or a control falls back to
// the platform's colours and may end up as dark text on a dark look.
TEST(Looks, AllEightAreCompleteAndDistinct)
{
    const char *required[] = {
        "QMainWindow", "QMenuBar::item:selected", "QMenu::item:selected", "QMenu::item:disabled",
        "QMenu::indicator:checked", "QLabel", "QPushButton:hover", "QPushButton:pressed",
        "QPushButton:disabled", "[switch=\"true\"]:checked", "[objectName^=\"swt\"]:checked",
        "QListWidget::item:selected", "QComboBox", "QComboBox QAbstractItemView",
        "QCheckBox::indicator:checked", "QRadioButton::indicator:checked", "QGroupBox::title",
        "QPlainTextEdit", "QProgressBar::chunk", "QToolTip", "QMessageBox", "vadrelon--DialWidget",
    };
    QSet<QString> sheets;
    for (int i = 0; i < LookCount; ++i) {
        SCOPED_TRACE(LookName(i).toStdString());
        const auto sheet = LookStyleSheet(LookName(i));
        ASSERT_TRUE(sheet.has_value());
        for (const char *selector : required)
            EXPECT_TRUE(sheet->contains(QLatin1String(selector))) << "missing " << selector;

        // A stray brace or an open comment makes the toolkit drop the whole sheet.
        EXPECT_EQ(sheet->count('{'), sheet->count('}'));
        EXPECT_EQ(sheet->count("/*"), sheet->count("*/"));
        sheets.insert(*sheet);
    }
    EXPECT_EQ(sheets.size(), LookCount);
    EXPECT_EQ(LookResourceNames().size(), LookCount) << LookResourceNames().join(' ').toStdString();
}

} // namespace
