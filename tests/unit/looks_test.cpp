#include "support/looks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>

using namespace vadrelon;

namespace {

TEST(Looks, NamesAreStyleAndTheIndex)
{
    EXPECT_EQ(lookName(0), "Style_0");
    EXPECT_EQ(lookName(7), "Style_7");
    EXPECT_EQ(lookName(12), "Style_12");
}

TEST(Looks, LookupIgnoresCaseAndFindsNothingForUnknownNames)
{
    const auto reference = lookStyleSheet("Style_3");
    ASSERT_TRUE(reference.has_value());
    for (const char *name : {"STYLE_3", "style_3", "sTyLe_3"})
        EXPECT_EQ(lookStyleSheet(name), reference) << name;

    for (const char *name : {"Style_8", "Style_9", "Style_-1", "Style_", "", "Style_3.qss", "Style_33"})
        EXPECT_EQ(lookStyleSheet(name), std::nullopt) << name;
}

// Each look has to style every kind of control the windows use, or a control falls back to
// the platform's colours and may end up as dark text on a dark look.
TEST(Looks, AllEightAreCompleteAndDistinct)
{
    const char *required[] = {
        "QMainWindow",
        "QMenuBar::item:selected",
        "QMenu::item:selected",
        "QMenu::item:disabled",
        "QMenu::indicator:checked",
        "QLabel",
        "QPushButton:hover",
        "QPushButton:pressed",
        "QPushButton:disabled",
        "[switch=\"true\"]:checked",
        "[objectName^=\"swt\"]:checked",
        "QListWidget::item:selected",
        "QComboBox",
        "QComboBox QAbstractItemView",
        "QCheckBox::indicator:checked",
        "QRadioButton::indicator:checked",
        "QGroupBox::title",
        "QPlainTextEdit",
        "QProgressBar::chunk",
        "QToolTip",
        "QMessageBox",
        "vadrelon--DialWidget",
    };
    QSet<QString> sheets;
    for (int i = 0; i < lookCount; ++i) {
        SCOPED_TRACE(lookName(i).toStdString());
        const auto sheet = lookStyleSheet(lookName(i));
        ASSERT_TRUE(sheet.has_value());
        for (const char *selector : required)
            EXPECT_TRUE(sheet->contains(QLatin1String(selector))) << "missing " << selector;

        // A stray brace or an open comment makes the toolkit drop the whole sheet, and so does
        // a template name that reached it unreplaced.
        EXPECT_EQ(sheet->count('{'), sheet->count('}'));
        EXPECT_EQ(sheet->count("/*"), sheet->count("*/"));
        EXPECT_FALSE(sheet->contains('@')) << "unreplaced name at " << sheet->indexOf('@');
        sheets.insert(*sheet);
    }
    EXPECT_EQ(sheets.size(), lookCount);
    EXPECT_EQ(lookResourceNames().size(), lookCount) << lookResourceNames().join(' ').toStdString();
}

// The value a sheet gives a property for a selector: from the last rule that lists the selector
// itself, as the cascade settles rules of equal weight. The looks never lean on weight.
std::optional<QString> ruleValue(const QString &sheet, const QString &selector, const QString &property)
{
    QString text = sheet;
    text.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    std::optional<QString> found;
    static const QRegularExpression rule(QStringLiteral("([^{}]+)\\{([^}]*)\\}"));
    for (const QRegularExpressionMatch &m : rule.globalMatch(text)) {
        bool named = false;
        for (const QString &s : m.captured(1).split(','))
            named = named || s.trimmed() == selector;
        if (!named)
            continue;
        for (const QString &declaration : m.captured(2).split(';')) {
            const int colon = declaration.indexOf(':');
            if (colon > 0 && declaration.left(colon).trimmed() == property)
                found = declaration.mid(colon + 1).trimmed();
        }
    }
    return found;
}

// Relative luminance of a #rrggbb colour, as the usual contrast ratio defines it; nothing for
// any other notation.
std::optional<double> luminance(const QString &colour)
{
    static const QRegularExpression rgb(QStringLiteral("^#([0-9a-fA-F]{2})([0-9a-fA-F]{2})([0-9a-fA-F]{2})$"));
    const QRegularExpressionMatch m = rgb.match(colour);
    if (!m.hasMatch())
        return std::nullopt;
    const std::array<double, 3> weights = {0.2126, 0.7152, 0.0722};
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const double v = m.captured(i + 1).toInt(nullptr, 16) / 255.0;
        sum += weights[i] * (v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
    return sum;
}

// A palette is edited by eye, one colour at a time; text that sinks into its background is the
// mistake that slips through. Live text keeps 4.5:1, the usual minimum for body text; disabled
// text is meant to recede but must still be legible at 3:1.
TEST(Looks, TextStaysLegibleOnItsBackground)
{
    struct Pair {
        const char *textSelector, *textProperty, *groundSelector, *groundProperty;
        double minimum;
    };
    const Pair pairs[] = {
        {"QWidget", "color", "QWidget", "background-color", 4.5},
        {"QMenuBar", "color", "QMenuBar", "background-color", 4.5},
        {"QMenuBar::item:selected", "color", "QMenuBar::item:selected", "background-color", 4.5},
        {"QMenu", "color", "QMenu", "background-color", 4.5},
        {"QMenu::item:selected", "color", "QMenu::item:selected", "background-color", 4.5},
        {"QPushButton", "color", "QPushButton", "background-color", 4.5},
        {"QPushButton", "color", "QPushButton:hover", "background-color", 4.5},
        {"QPushButton:pressed", "color", "QPushButton:pressed", "background-color", 4.5},
        {"QPushButton:checked", "color", "QPushButton:checked", "background-color", 4.5},
        {"QListWidget", "color", "QListWidget", "background-color", 4.5},
        {"QListWidget::item:selected", "color", "QListWidget::item:selected", "background-color", 4.5},
        {"QComboBox", "color", "QComboBox", "background-color", 4.5},
        {"QComboBox QAbstractItemView", "selection-color", "QComboBox QAbstractItemView", "selection-background-color",
         4.5},
        {"QGroupBox::title", "color", "QWidget", "background-color", 4.5},
        {"QPlainTextEdit", "color", "QPlainTextEdit", "background-color", 4.5},
        {"QProgressBar", "color", "QProgressBar", "background-color", 4.5},
        {"QProgressBar", "color", "QProgressBar::chunk", "background-color", 4.5},
        {"QToolTip", "color", "QToolTip", "background-color", 4.5},
        {"QMessageBox QLabel", "color", "QMessageBox", "background-color", 4.5},
        {"vadrelon--DialWidget", "color", "vadrelon--DialWidget", "background-color", 4.5},
        {"QWidget:disabled", "color", "QWidget", "background-color", 3.0},
        {"QMenu::item:disabled", "color", "QMenu", "background-color", 3.0},
        {"QPushButton:disabled", "color", "QPushButton:disabled", "background-color", 3.0},
        {"QComboBox:disabled", "color", "QComboBox:disabled", "background-color", 3.0},
    };
    for (int i = 0; i < lookCount; ++i) {
        const auto sheet = lookStyleSheet(lookName(i));
        ASSERT_TRUE(sheet.has_value()) << lookName(i).toStdString();
        for (const Pair &p : pairs) {
            SCOPED_TRACE(testing::Message() << lookName(i).toStdString() << ": " << p.textSelector << " "
                                            << p.textProperty << " on " << p.groundSelector);
            const auto text = ruleValue(*sheet, p.textSelector, p.textProperty);
            const auto ground = ruleValue(*sheet, p.groundSelector, p.groundProperty);
            ASSERT_TRUE(text && ground);
            const auto lt = luminance(*text), lg = luminance(*ground);
            ASSERT_TRUE(lt && lg) << text->toStdString() << " on " << ground->toStdString();
            const double ratio = (qMax(*lt, *lg) + 0.05) / (qMin(*lt, *lg) + 0.05);
            EXPECT_GE(ratio, p.minimum) << text->toStdString() << " on " << ground->toStdString();
        }
    }
}

// The sheets are made at build time by cmake/LookSheet.cmake from the template and one palette
// per look; these cases run it on small templates and palettes of their own.
struct MadeSheet {
    bool ok = false;
    QString sheet;
    QString errors; // whitespace simplified: CMake wraps its messages
};

MadeSheet makeSheet(const QString &paletteName, const QByteArray &templateText, const QByteArray &paletteText)
{
    MadeSheet made;
    const QString script = QDir(QFileInfo(QStringLiteral(__FILE__)).absolutePath())
                               .absoluteFilePath(QStringLiteral("../../cmake/LookSheet.cmake"));
    const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
    QTemporaryDir dir;
    if (!QFileInfo::exists(script) || cmake.isEmpty() || !dir.isValid()) {
        ADD_FAILURE() << "cannot run " << script.toStdString() << " with cmake \"" << cmake.toStdString() << "\"";
        return made;
    }
    const auto write = [&](const QString &name, const QByteArray &text) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    if (!write(QStringLiteral("template.qss"), templateText) || !write(paletteName, paletteText)) {
        ADD_FAILURE() << "cannot write into " << dir.path().toStdString();
        return made;
    }
    QProcess run;
    run.start(cmake,
              {QStringLiteral("-DTEMPLATE=") + dir.filePath(QStringLiteral("template.qss")),
               QStringLiteral("-DPALETTE=") + dir.filePath(paletteName),
               QStringLiteral("-DOUTPUT=") + dir.filePath(QStringLiteral("out.qss")), QStringLiteral("-P"), script});
    if (!run.waitForFinished(30000)) {
        ADD_FAILURE() << "cmake did not finish";
        return made;
    }
    made.ok = run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
    made.errors = QString::fromUtf8(run.readAllStandardError()).simplified();
    QFile out(dir.filePath(QStringLiteral("out.qss")));
    if (out.open(QIODevice::ReadOnly))
        made.sheet = QString::fromUtf8(out.readAll());
    return made;
}

TEST(LookSheetScript, FillsEveryNameWhole)
{
    struct Case {
        const char *name, *paletteName, *templateText, *paletteText, *expected;
    };
    const Case cases[] = {
        {"names that begin other names", "STYLE_0.palette",
         "a { b: @button; c: @button-text; d: @button-border-width solid @button-border; }\n",
         "button = #000001\nbutton-text = #000002\nbutton-border = #000003\nbutton-border-width = 2px\n",
         "a { b: #000001; c: #000002; d: 2px solid #000003; }\n"},
        {"the index from the file name; comments, blank lines and spacing skipped", "STYLE_12.palette",
         "/* Look @index, @name: @description */\n",
         "# name = not this; [nor] \\ this\n\n  name   =   Night  \ndescription = dark, and quiet.",
         "/* Look 12, Night: dark, and quiet. */\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const MadeSheet made = makeSheet(c.paletteName, c.templateText, c.paletteText);
        EXPECT_TRUE(made.ok) << made.errors.toStdString();
        EXPECT_EQ(made.sheet.toStdString(), c.expected);
    }
}

// The build stops rather than embed a sheet that the toolkit would drop, or a look that
// silently lacks a colour.
TEST(LookSheetScript, RefusesAPaletteThatDoesNotFitTheTemplate)
{
    struct Case {
        const char *name, *templateText, *paletteText, *message;
    };
    const Case cases[] = {
        {"a name the palette lacks", "a { color: @text; background: @window; }", "window = #000000\n",
         "gives no value for text"},
        {"a name the template does not use", "a { background: @window; }", "window = #000000\nshadow = #111111\n",
         "gives shadow, which"},
        {"a name given twice", "a { background: @window; }", "window = #000000\nwindow = #111111\n",
         "line 2 gives window a second time"},
        {"a colour that is not #rrggbb", "a { background: @window; }", "window = #00000\n", "is not a #rrggbb colour"},
        {"a line that is not name = value", "a { background: @window; }", "window: #000000\n",
         "line 1 is not \"name = value\""},
        {"a value that would end the rule", "a { background: @window; }", "window = #000000 }\n", "may not hold"},
        {"a name the template misspells", "a { color: @Text; background: @window; }", "window = #000000\n",
         "\"@Text\" is not a name"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const MadeSheet made = makeSheet(QStringLiteral("STYLE_0.palette"), c.templateText, c.paletteText);
        EXPECT_FALSE(made.ok);
        EXPECT_TRUE(made.errors.contains(QLatin1String(c.message))) << made.errors.toStdString();
    }
}

} // namespace
