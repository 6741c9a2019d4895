// The debug console's service tools, driven as a person drives them: the settings memory
// erased and read (and saved), the hand-typed parameter message, the coefficient calculator.
#include "editorfixture.h"

#include "ui/editor.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <tuple>

using namespace vadrelon;

class ConsoleTools : public test::EditorFixture {
public:
    // The console is built when it is first opened; these tests reach its tools without
    // showing it, as a debugger would.
    template <typename T>
    T *find(const char *name)
    {
        editor->windows.console();
        return EditorFixture::find<T>(name);
    }
    void click(const char *name)
    {
        editor->windows.console();
        EditorFixture::click(name);
    }
    bool enabled(const char *name)
    {
        editor->windows.console();
        return EditorFixture::enabled(name);
    }
    QComboBox *address() { return find<QComboBox>("cmbI2Caddr"); }
    // The hidden tools are there, only not shown: a test reaches them as a debugger would.
    void clickHidden(const char *name) { find<QPushButton>(name)->click(); }
    QByteArray pattern() const
    {
        QByteArray bytes(16384, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7 + 3);
        return bytes;
    }
};

TEST_F(ConsoleTools, EraseSendsItsMessageForTheChosenMemory)
{
    linkAndClear();
    address()->setCurrentIndex(1);
    click("btnEraseEeprom");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"0B 51 00 00 00"}));
    EXPECT_TRUE(logHas("erase message: 0B51000000"));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

// A typed address is taken as it is, but only when it is two hex digits: never a shifted or
// stale byte.
TEST_F(ConsoleTools, AnAddressThatIsNotTwoHexDigitsSendsNothing)
{
    linkAndClear();
    for (const char *typed : {"5", "5G", "500", " 50"}) {
        prompt.messages.clear();
        address()->setEditText(typed);
        click("btnEraseEeprom");
        click("btnReadEEPROM");
        ASSERT_EQ(prompt.messages.size(), 2) << typed;
        EXPECT_TRUE(prompt.messages[0].startsWith("The memory's address must be two hex digits")) << typed;
    }
    EXPECT_TRUE(sent().isEmpty());
    address()->setEditText(QString());
    click("btnReadEEPROM"); // an empty address reads the first memory
    ASSERT_TRUE(settle(5000));
    EXPECT_EQ(sent(), QStringList({"0C 50 00 00 00 00"}));
}

TEST_F(ConsoleTools, UnlinkedEveryToolIsRefused)
{
    start({&pedal});
    click("btnEraseEeprom");
    click("btnReadEEPROM");
    clickHidden("btnSend");
    EXPECT_EQ(prompt.messages, QStringList(3, "No pedal is linked. Choose Connection → Link first."));
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(ConsoleTools, ReadTakesTheWholeDumpListsItAndSavesIt)
{
    pedal.setEeprom(0x50, pattern());
    linkAndClear();
    EXPECT_FALSE(enabled("btnSaveDump"));
    click("btnReadEEPROM");
    ASSERT_TRUE(settle(5000));
    EXPECT_EQ(sent(), QStringList({"0C 50 00 00 00 00"}));
    EXPECT_TRUE(logHas("0C5000000000"));
    EXPECT_TRUE(logHas("0: 03"));
    EXPECT_TRUE(logHas("16383: " + QString::number(quint8(16383 * 7 + 3), 16).toUpper().rightJustified(2, '0')));
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    prompt.files = {docs.filePath("dump.bin")};
    click("btnSaveDump");
    QFile saved(docs.filePath("dump.bin"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), pattern());
}

// The dump comes in pieces, as a real line delivers it; the read ends when the last byte is in,
// and meanwhile the window goes on: its timers fire.
TEST_F(ConsoleTools, ADumpInPiecesIsJoinedWhileTheWindowGoesOn)
{
    linkAndClear();
    pedal.faults().silent = true;
    const QByteArray dump = QByteArray(1, char(0xAB)) + pattern();
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start(5);
    click("btnReadEEPROM");
    for (const auto &[at, from, length] :
         {std::tuple{0, 0, 1}, std::tuple{40, 1, 999}, std::tuple{80, 1000, 8000}, std::tuple{120, 9000, 7385}})
        QTimer::singleShot(at, [this, piece = dump.mid(from, length)] { emit pedal.toHost(piece); });
    ASSERT_TRUE(settle(5000));
    EXPECT_GE(ticks, 10) << "the window's timers stood still during the read";
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    EXPECT_TRUE(logHas("0: 03"));
    EXPECT_TRUE(logHas("16383: " + QString::number(quint8(16383 * 7 + 3), 16).toUpper().rightJustified(2, '0')));
    EXPECT_TRUE(enabled("btnSaveDump"));
}

// A dump that stops short is said to be short; nothing of it is kept or padded.
TEST_F(ConsoleTools, AShortOrMissingDumpIsToldAndNotKept)
{
    linkAndClear();
    pedal.faults().silent = true;
    click("btnReadEEPROM");
    emit pedal.toHost(QByteArray(1, char(0xAB)) + pattern().left(100));
    ASSERT_TRUE(settle(5000));
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(prompt.messages[0], "The memory dump stopped after 100 of its 16384 bytes; nothing of it was kept. "
                                  "Check the cable and read the memory again.");
    EXPECT_FALSE(enabled("btnSaveDump"));
    EXPECT_FALSE(logHas("0: 03"));

    prompt.messages.clear();
    click("btnReadEEPROM");
    ASSERT_TRUE(settle(5000));
    EXPECT_EQ(prompt.messages, QStringList({"The pedal did not answer the memory dump request. Check that it is "
                                            "powered and linked, then try again."}));
}

TEST_F(ConsoleTools, TheRawSenderTakesExactlyAnAddressAndAValue)
{
    linkAndClear();
    struct Case {
        const char *address, *value;
        const char *sent; // nothing when refused
    };
    const Case cases[] = {
        {"0025", "003FC000", "01 00 25 00 3F C0 00"},
        {"0025", "3FC000", nullptr},
        {"25", "003FC000", nullptr},
        {"addr", "data", nullptr},
        {"0025", "003FC000FF", nullptr},
    };
    for (const Case &c : cases) {
        pedal.clearReceived();
        prompt.messages.clear();
        find<QLineEdit>("edtAddress")->setText(c.address);
        find<QLineEdit>("edtData")->setText(c.value);
        clickHidden("btnSend");
        ASSERT_TRUE(settle());
        if (c.sent) {
            EXPECT_EQ(sent(), QStringList({c.sent})) << c.address << " " << c.value;
            EXPECT_TRUE(prompt.messages.isEmpty());
        } else {
            EXPECT_TRUE(sent().isEmpty()) << c.address << " " << c.value;
            EXPECT_EQ(prompt.messages.size(), 1) << c.address << " " << c.value;
        }
    }
}

TEST_F(ConsoleTools, TheCalculatorPrintsWithTheValuesItShows)
{
    start({});
    EXPECT_EQ(find<QLineEdit>("edtQ")->text(), "11");
    EXPECT_EQ(find<QLineEdit>("edtBoost")->text(), "-6");
    find<QComboBox>("cmbNotePicker")->setCurrentIndex(5); // D2
    clickHidden("btnGetNoteFrequency");
    EXPECT_TRUE(logHas("D2_6db_cut_Q11 : array[0..19] of string ="));
    EXPECT_TRUE(logHas("('00', '7F', 'F5', 'EC', "));
    EXPECT_TRUE(logHas("'FF', '80', '28', '6A');"));

    QLineEdit *q = find<QLineEdit>("edtQ");
    for (const char *bad : {"0", "-1", "", "eleven"}) {
        prompt.messages.clear();
        q->setText(bad);
        emit q->editingFinished();
        EXPECT_EQ(prompt.messages.size(), 1) << bad;
        EXPECT_EQ(q->text(), "11") << bad << ": the value in use stays, and shows";
    }
    q->setText("1.5");
    emit q->editingFinished();
    EXPECT_TRUE(logHas("Q: 1.5"));
    QLineEdit *boost = find<QLineEdit>("edtBoost");
    boost->setText("3");
    emit boost->editingFinished();
    clickHidden("btnGetNoteFrequency");
    EXPECT_TRUE(logHas("boost: 3"));
    EXPECT_TRUE(logHas("D2_3db_boost_Q1.5 : array[0..19] of string ="));
}
