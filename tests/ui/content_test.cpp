// The commands that put content on the pedal: algorithm files, tunings and instrument,
// presets and the option marks, each driven as a player drives it, against the in-process pedal.
#include "editorfixture.h"

#include "content/preset.h"
#include "support/synthetic_images.h"
#include "ui/dialwidget.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace vadrelon;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class ContentTest : public test::EditorFixture {
public:
    QString status() { return find<QLabel>("lblStatus")->text(); }
    QString file(const char *name) { return docs.filePath(name); }
    QString presetFolder() { return docs.filePath("NEROV/Vadrelon MK3/Preset"); }
    // Milliseconds between the pedal's receiving messages a and b.
    qint64 gap(int a, int b)
    {
        const QList<sim::ReceivedMessage> got = pedal.received();
        return got.value(b).msecsSinceEpoch - got.value(a).msecsSinceEpoch;
    }
};

// ---- Load Effect From File ----

TEST_F(ContentTest, AnAlgorithmFileGoesOutWholeAfterTheBypassAndItsAnswerIsShown)
{
    timing.scale = 1.0; // the pause before the image is real time
    linkAndClear();
    const QByteArray image = MakeAlgorithmImage(0x0012);
    ASSERT_TRUE(writeAll(file("fx.dat"), image));
    prompt.files = {file("fx.dat")};
    prompt.answers = {true};
    trigger("menuLoadAlgorithmFromFile");
    ASSERT_TRUE(settle(5000));
    ASSERT_EQ(pedal.received().size(), 2) << sent().join('|').toStdString();
    EXPECT_EQ(pedal.received()[0].bytes, QByteArray::fromHex("0D01"));
    EXPECT_EQ(pedal.received()[1].bytes, image) << "one message: the file as it is";
    EXPECT_GE(gap(0, 1), 400) << "the pedal needs 400 ms after the bypass";
    EXPECT_EQ(status(), "Upload complete\r\n");
    EXPECT_FALSE(find<QTimer>("UploadCheckTimer")->isActive()) << "\"Upload Failed\" would follow the success";
    EXPECT_EQ(prompt.messages, QStringList({"Upload the selected algorithm?"}));
    for (const QString &line : {"Opening - " + QDir::toNativeSeparators(file("fx.dat")), QString("4512 Bytes Sent ..."),
                                QString("received: Upload complete\r\n")})
        EXPECT_TRUE(logHas(line)) << line.toStdString();
}

TEST_F(ContentTest, AnAlgorithmFileThatCannotBeAnImageIsRefusedBeforeAnyBypass)
{
    linkAndClear();
    QByteArray wrongLength = MakeAlgorithmImage(0x0012);
    wrongLength[2] = char(wrongLength[2] + 1);
    ASSERT_TRUE(writeAll(file("empty.dat"), {}));
    ASSERT_TRUE(writeAll(file("long.dat"), QByteArray(70000, '\0')));
    ASSERT_TRUE(writeAll(file("wrong.dat"), wrongLength));
    ASSERT_TRUE(QDir(docs.path()).mkdir("folder.dat"));
    struct Case {
        const char *file;
        const char *says;
    };
    const Case cases[] = {
        {"empty.dat", "The algorithm image is damaged: the file is empty"},
        {"long.dat", "it is larger than the 65536 bytes such a file may have"},
        {"wrong.dat", "The algorithm image is damaged: its length field says 4513 bytes, but the file has 4512"},
        {"folder.dat", "it is a folder, not a file"},
        {"missing.dat", "Error reading file"},
    };
    const QString before = status();
    for (const Case &c : cases) {
        prompt.messages.clear();
        prompt.files = {file(c.file)};
        prompt.answers = {true};
        trigger("menuLoadAlgorithmFromFile");
        ASSERT_EQ(prompt.messages.size(), 1) << c.file << ": " << prompt.messages.join('|').toStdString();
        EXPECT_TRUE(prompt.messages[0].contains(c.says)) << c.file << ": " << prompt.messages[0].toStdString();
        EXPECT_FALSE(editor->session.link().busy()) << c.file;
    }
    EXPECT_TRUE(sent().isEmpty()) << "not even the bypass";
    EXPECT_EQ(status(), before) << "no upload was started";
}

TEST_F(ContentTest, CancelOrNoSendsNoAlgorithmFile)
{
    linkAndClear();
    ASSERT_TRUE(writeAll(file("fx.dat"), MakeAlgorithmImage(0x0012)));
    trigger("menuLoadAlgorithmFromFile"); // the dialog cancelled
    prompt.files = {file("fx.dat")};
    prompt.answers = {false};
    trigger("menuLoadAlgorithmFromFile");
    EXPECT_FALSE(editor->session.link().busy());
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(ContentTest, ASilentPedalEndsTheFileUploadWithinItsBound)
{
    linkAndClear();
    ASSERT_TRUE(writeAll(file("fx.dat"), MakeAlgorithmImage(0x0012)));
    pedal.faults().silent = true;
    prompt.files = {file("fx.dat")};
    prompt.answers = {true};
    trigger("menuLoadAlgorithmFromFile");
    ASSERT_TRUE(settle(5000));
    EXPECT_EQ(status(), "Upload Failed");
    EXPECT_EQ(prompt.messages.last(),
              "The pedal did not answer the algorithm upload. Check that it is powered and linked, then try again.");
    EXPECT_TRUE(editor->session.link().isLinked());
}

// ---- Tunings ----

TEST_F(ContentTest, SetTuningSendsTheChosenTuningAfterItsQuestion)
{
    linkAndClear();
    find<QComboBox>("cmbGuitarTuning")->setCurrentIndex(7);
    find<QComboBox>("cmbSemitonesVariation")->setCurrentIndex(0); // -5
    click("btnSetTuning");
    EXPECT_TRUE(logHas("Tuning Message: 0907FB"));
    EXPECT_EQ(prompt.messages, QStringList({"Set new tuning?"}));
    EXPECT_TRUE(sent().isEmpty()) << "No sends nothing";
    prompt.answers = {true};
    click("btnSetTuning");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"09 07 FB"}));
    EXPECT_EQ(pedal.state().tuning, 7);
    EXPECT_EQ(pedal.state().semitones, -5);
}

// Only a status reply can bring a tuning the lists do not offer. It never reaches the lists,
// so what goes back to the pedal is what the player sees.
TEST_F(ContentTest, ATuningOutsideTheListsIsNeverSentBack)
{
    pedal.state().tuning = 12;
    pedal.state().semitones = 7;
    linkAndClear();
    EXPECT_EQ(find<QComboBox>("cmbGuitarTuning")->currentIndex(), 0);
    EXPECT_EQ(find<QComboBox>("cmbSemitonesVariation")->currentText(), "0");
    EXPECT_TRUE(logHas("Current Tuning: 12"));
    prompt.answers = {true};
    click("btnSetTuning");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"09 00 00"}));
}

TEST_F(ContentTest, TuningDataGoesOutAfterTheBypassAndTheBypassIsShownAfterwards)
{
    timing.scale = 1.0; // the pauses are real time
    linkAndClear();
    ASSERT_FALSE(find<QPushButton>("swtBypass")->isChecked());
    prompt.answers = {true};
    trigger("menuUploadTuningsData");
    ASSERT_TRUE(settle(5000));
    ASSERT_EQ(pedal.received().size(), 3) << sent().join('|').toStdString();
    EXPECT_EQ(pedal.received()[0].bytes, QByteArray::fromHex("0D01"));
    const QByteArray table = pedal.received()[1].bytes;
    EXPECT_EQ(table.size(), 641);
    EXPECT_TRUE(table.startsWith(QByteArray::fromHex("0E007FF5ECFF002B70")));
    EXPECT_TRUE(table.endsWith(QByteArray::fromHex("FF8137C0")));
    EXPECT_GE(gap(0, 1), 400) << "the pedal needs 400 ms after the bypass";
    EXPECT_EQ(pedal.received()[2].bytes, QByteArray::fromHex("0200")) << "the status is read again";
    EXPECT_GE(gap(1, 2), 100) << "the pedal needs 100 ms to take the table in";
    EXPECT_EQ(pedal.state().tuningCoefficients, table.mid(1));
    EXPECT_TRUE(find<QPushButton>("swtBypass")->isChecked()) << "the pedal is bypassed now, and the switch says so";
    EXPECT_TRUE(logHas("num_of_bytes: 641"));
    EXPECT_EQ(prompt.messages, QStringList({"Upload Tuning Data?"}));
}

TEST_F(ContentTest, NoToTheTuningDataSendsNothing)
{
    linkAndClear();
    trigger("menuUploadTuningsData");
    EXPECT_TRUE(log().filter("tuning data: 007FF5EC").size() == 1) << "traced before the question";
    EXPECT_TRUE(sent().isEmpty());
}

// ---- Instrument ----

TEST_F(ContentTest, GuitarAndBassChangeMarksFileAndPedalOnlyOnYes)
{
    linkAndClear();
    QAction *guitar = action("menuGuitar");
    QAction *bass = action("menuBass");
    ASSERT_TRUE(guitar->isChecked()) << "the pedal reports a guitar";
    const QString instrumentFile = file("NEROV/Vadrelon MK3/Instrument.txt");

    trigger("menuBass"); // No
    EXPECT_TRUE(guitar->isChecked());
    EXPECT_FALSE(bass->isChecked());
    EXPECT_FALSE(QFile::exists(instrumentFile));
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(logHas("checksum byte: B3"));

    prompt.answers = {true};
    trigger("menuBass");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"0F BA 02 03 04 05 06 B3"}));
    EXPECT_FALSE(guitar->isChecked());
    EXPECT_TRUE(bass->isChecked());
    EXPECT_EQ(readAll(instrumentFile), "BASS");
    EXPECT_EQ(pedal.state().instrument, 0xBA);

    prompt.answers = {true};
    trigger("menuGuitar");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent().last(), "0F FF 01 02 03 04 05 F1");
    EXPECT_TRUE(guitar->isChecked());
    EXPECT_FALSE(bass->isChecked());
    EXPECT_EQ(readAll(instrumentFile), "GUITAR");
}

TEST_F(ContentTest, AnInstrumentFileThatCannotBeWrittenStopsTheCommand)
{
    linkAndClear();
    ASSERT_TRUE(QDir().mkpath(file("NEROV/Vadrelon MK3/Instrument.txt"))); // a folder in its place
    prompt.answers = {true};
    trigger("menuBass");
    EXPECT_EQ(prompt.messages.size(), 2) << prompt.messages.join('|').toStdString();
    EXPECT_TRUE(prompt.messages.last().startsWith("Error writing file")) << prompt.messages.last().toStdString();
    EXPECT_TRUE(action("menuGuitar")->isChecked());
    EXPECT_FALSE(action("menuBass")->isChecked());
    EXPECT_TRUE(sent().isEmpty());
}

// ---- Options ----

TEST_F(ContentTest, OptionMarksChangeOnlyOnceTheirMessageWentOut)
{
    linkAndClear();
    QAction *store = action("menuStoreBypassStatus");
    QAction *doNotStore = action("menuDoNotStoreBypassStatus");
    editor->session.link().unlink();
    store->setEnabled(true); // as if the click came just as the pedal went
    store->trigger();
    EXPECT_FALSE(store->isChecked()) << "nothing reached the pedal";
    EXPECT_TRUE(doNotStore->isChecked());

    link();
    pedal.clearReceived();
    trigger("menuStoreBypassStatus");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"10 01"}));
    EXPECT_TRUE(store->isChecked());
    EXPECT_FALSE(doNotStore->isChecked());
    EXPECT_EQ(pedal.state().bypassStorage, 1);
}

TEST_F(ContentTest, AMidiChannelIsMarkedOnlyOnceItWentOut)
{
    linkAndClear();
    const QList<QAction *> channels = find<QMenu>("menuMIDIchannel")->actions();
    ASSERT_TRUE(channels[0]->isChecked()) << "the pedal reports OMNI";
    editor->session.link().unlink();
    channels[5]->trigger();
    EXPECT_FALSE(channels[5]->isChecked());
    EXPECT_TRUE(channels[0]->isChecked());
}

TEST_F(ContentTest, TrackingLimitIsBuiltButHidden)
{
    linkAndClear();
    EXPECT_FALSE(find<QMenu>("menuTrackingLimit")->menuAction()->isVisible());
    for (auto [item, bytes] : {std::pair{"menuTrackingLimitON", "11 01"}, std::pair{"menuTrackingLimitOFF", "11 FF"}}) {
        pedal.clearReceived();
        trigger(item);
        ASSERT_TRUE(settle());
        EXPECT_EQ(sent(), QStringList({bytes}));
        EXPECT_TRUE(action(item)->isChecked());
    }
    EXPECT_FALSE(action("menuTrackingLimitON")->isChecked());
}

TEST_F(ContentTest, UnlinkedTheContentCommandsSendNothing)
{
    start({&pedal});
    for (const char *name :
         {"menuLoadPreset", "menuSavePreset", "menuLoadAlgorithmFromFile", "menuUploadTuningsData", "btnSetTuning"})
        EXPECT_FALSE(enabled(name)) << name;
    EXPECT_FALSE(find<QMenu>("menuBypassStatus")->isEnabled());
    EXPECT_FALSE(find<QMenu>("menuInstrument")->isEnabled());
}

// ---- Presets ----

TEST_F(ContentTest, SavePresetWritesWhatThePedalReportsJustNow)
{
    linkAndClear();
    pedal.state().parameters[0] = 0x00123456; // changed on the pedal since the link
    prompt.files = {presetFolder() + "/live"};
    trigger("menuSavePreset");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"02 00"}));
    const QByteArray bytes = readAll(presetFolder() + "/live.txt");
    ASSERT_EQ(bytes.size(), 146);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"
                                 "00123456\r"));
    EXPECT_EQ(prompt.dialogs, QStringList({"Save Preset File @ " + presetFolder()}));
    EXPECT_EQ(prompt.messages,
              QStringList({"File saved successfully: " + QDir::toNativeSeparators(presetFolder() + "/live.txt")}));
}

TEST_F(ContentTest, SavePresetWritesNothingWithoutAWholeCurrentReply)
{
    struct Case {
        const char *name;
        std::function<void(sim::VirtualPedal &)> fault;
    };
    const Case cases[] = {
        {"silent", [](sim::VirtualPedal &p) { p.faults().silent = true; }},
        {"short", [](sim::VirtualPedal &p) { p.faults().replyValueCount = 60; }},
        {"old algorithm", [](sim::VirtualPedal &p) { p.state().algorithmVersion = 0x0011; }},
    };
    for (const Case &c : cases) {
        sim::VirtualPedal p;
        EditorFixture::driver.attach(&p);
        start({});
        link();
        c.fault(p);
        prompt.messages.clear();
        prompt.files = {presetFolder() + "/x.txt"};
        trigger("menuSavePreset");
        ASSERT_TRUE(settle(5000)) << c.name;
        EXPECT_FALSE(QFile::exists(presetFolder() + "/x.txt")) << c.name;
        EXPECT_TRUE(prompt.dialogs.isEmpty()) << c.name << ": no dialog for a file that would not be written";
        EXPECT_FALSE(prompt.messages.isEmpty()) << c.name << ": it says why";
        editor.reset();
        EditorFixture::driver.detach(&p);
        prompt.files.clear();
    }
}

TEST_F(ContentTest, SavePresetAsksBeforeReplacingAFile)
{
    linkAndClear();
    ASSERT_TRUE(QDir().mkpath(presetFolder()));
    ASSERT_TRUE(writeAll(presetFolder() + "/kept.txt", "old"));
    prompt.files = {presetFolder() + "/kept.txt"};
    trigger("menuSavePreset");
    ASSERT_TRUE(settle());
    EXPECT_EQ(prompt.messages.last(),
              QDir::toNativeSeparators(presetFolder() + "/kept.txt") + " already exists. Replace it?");
    EXPECT_EQ(readAll(presetFolder() + "/kept.txt"), "old") << "No keeps it";

    prompt.files = {presetFolder() + "/kept"}; // the extension is added, and the question still comes
    prompt.answers = {true};
    trigger("menuSavePreset");
    ASSERT_TRUE(settle());
    EXPECT_EQ(readAll(presetFolder() + "/kept.txt").size(), 146);
}

class PresetLoad : public ContentTest {
public:
    // A preset of the pedal's values with some lines changed, as a player's file would be.
    QString presetWith(const QMap<int, QByteArray> &lines)
    {
        QByteArrayList l = writePreset(editor->session.parameters.values()).mid(3).split('\r');
        for (auto it = lines.begin(); it != lines.end(); ++it)
            l[it.key()] = it.value();
        const QString path = presetFolder() + "/p.txt";
        EXPECT_TRUE(QDir().mkpath(presetFolder()));
        EXPECT_TRUE(writeAll(path, l.join("\r\n") + "\r\n"));
        return path;
    }
};

TEST_F(PresetLoad, SendsEveryChangedValueAtOnceAndShowsIt)
{
    linkAndClear();
    const quint32 dryBefore = editor->session.parameters.Dry.value;
    prompt.files = {presetWith({{0, "00400000"}, {8, "00000001"}})};
    trigger("menuLoadPreset");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"01 00 25 00 40 00 00", "01 00 EE 00 00 00 01"}));
    EXPECT_NE(dryBefore, 0x400000u);
    EXPECT_EQ(editor->session.parameters.Dry.value, 0x400000u);
    EXPECT_EQ(pedal.state().parameters[0], 0x400000u);
    EXPECT_TRUE(find<QPushButton>("swtSplit")->isChecked());
    EXPECT_FALSE(fx().isWindowModified()) << "what was loaded is the reference now";
    EXPECT_EQ(prompt.dialogs, QStringList({"Open Preset File @ " + presetFolder()}));
    EXPECT_EQ(prompt.messages,
              QStringList({"File loaded successfully: " + QDir::toNativeSeparators(presetFolder() + "/p.txt")}));
    EXPECT_TRUE(logHas("Dry: 00400000"));
    EXPECT_TRUE(logHas("Split: 00000001"));
}

// The pedal reports the filters and the range as steps, but takes levels for them: a preset
// restores the steps it was saved with.
// A switch turned by hand is what the pedal holds: a preset with the value read before must
// send it back, or the window would show the preset over a pedal that kept the switch.
TEST_F(PresetLoad, ASwitchTurnedSinceTheReadIsSentBack)
{
    pedal.state().parameters[ParWave] = 0x600000; // off
    linkAndClear();
    const quint32 read = pedal.state().parameters[ParWave];
    ASSERT_FALSE(find<QPushButton>("swtWave")->isChecked());
    const QString asRead = presetWith({});
    find<QPushButton>("swtWave")->click();
    ASSERT_TRUE(settle());
    ASSERT_NE(pedal.state().parameters[ParWave], read);
    prompt.files = {asRead};
    trigger("menuLoadPreset");
    ASSERT_TRUE(settle());
    EXPECT_EQ(pedal.state().parameters[ParWave], read);
    EXPECT_FALSE(find<QPushButton>("swtWave")->isChecked());
    EXPECT_FALSE(fx().isWindowModified());
}

TEST_F(PresetLoad, StepsComeBackAsTheSameSteps)
{
    linkAndClear();
    prompt.files = {presetWith({{5, "0000000C"}, {6, "00000010"}, {9, "00000001"}})};
    trigger("menuLoadPreset");
    ASSERT_TRUE(settle());
    EXPECT_EQ(pedal.state().parameters[5], 12u) << "Low Pass";
    EXPECT_EQ(pedal.state().parameters[6], 16u) << "High Pass";
    pedal.clearReceived();
    click("btnRequest");
    ASSERT_TRUE(settle());
    EXPECT_FALSE(fx().isWindowModified());
    EXPECT_EQ(editor->session.parameters.LowPass.value, 12u);
}

// A knob message still waiting was set before the preset; sent after it, it would undo it.
TEST_F(PresetLoad, DropsAKnobMessageStillWaiting)
{
    linkAndClear();
    find<DialWidget>("dialSubMix")->setAngle(90);
    ASSERT_TRUE(editor->session.link().hasPacedMessage());
    prompt.files = {presetWith({{0, "00400000"}})};
    trigger("menuLoadPreset");
    ASSERT_TRUE(settle());
    QTest::qWait(150);
    EXPECT_EQ(sent(), QStringList({"01 00 25 00 40 00 00"}));
}

TEST_F(PresetLoad, AMalformedOrCancelledLoadChangesNothing)
{
    linkAndClear();
    const std::array<quint32, kParameterCount> before = editor->session.parameters.values();
    const int angle = find<DialWidget>("dialDry")->angle();
    trigger("menuLoadPreset"); // cancelled
    prompt.files = {presetWith({{4, "00ZZ0040"}, {0, "00400000"}})};
    trigger("menuLoadPreset");
    EXPECT_EQ(prompt.messages,
              QStringList({"Error loading file: \"" + QDir::toNativeSeparators(presetFolder() + "/p.txt") +
                           "\": line 5 is \"00ZZ0040\", not eight hex digits"}));
    EXPECT_FALSE(editor->session.link().busy());
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(editor->session.parameters.values(), before);
    EXPECT_EQ(find<DialWidget>("dialDry")->angle(), angle);
}

// Half a preset is a sound nobody saved: a value that cannot reach the pedal refuses it all.
TEST_F(PresetLoad, AChangeWhoseAddressIsNotKnownRefusesThePresetNamingIt)
{
    linkAndClear();
    const std::array<quint32, kParameterCount> before = editor->session.parameters.values();
    ParameterSet unread; // as for an effect whose addresses could not be read
    unread.setValues(before);
    editor->session.parameters = unread;
    prompt.files = {presetWith({{1, "00000100"}})};
    trigger("menuLoadPreset");
    EXPECT_EQ(prompt.messages, QStringList({"The parameters of this effect cannot be edited: the pedal's address for "
                                            "Sub Mix is not known. Nothing was sent."}));
    EXPECT_FALSE(editor->session.link().busy());
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(editor->session.parameters.values(), before);
}

// The title says when the pedal's live values are not what was last read, loaded or stored.
TEST_F(PresetLoad, TheModifiedMarkerFollowsTheLiveValues)
{
    linkAndClear();
    EXPECT_FALSE(fx().isWindowModified());
    find<QPushButton>("swtSplit")->toggle();
    EXPECT_TRUE(fx().isWindowModified());
    find<QPushButton>("swtSplit")->toggle();
    EXPECT_FALSE(fx().isWindowModified()) << "back to what the pedal held";
    find<QPushButton>("swtSplit")->toggle();
    prompt.answers = {true};
    click("btnSaveParameters");
    ASSERT_TRUE(settle());
    EXPECT_FALSE(fx().isWindowModified()) << "stored";
    find<DialWidget>("dialDry")->setAngle(90);
    EXPECT_TRUE(fx().isWindowModified());
    click("btnRequest");
    ASSERT_TRUE(settle());
    EXPECT_FALSE(fx().isWindowModified()) << "read from the pedal";
}
