// The built `vadrelon` against vadrelon-pedal-sim over a pseudo-terminal: what each command
// prints, the exit status, and what the pedal received (its --log, one line of hex a message).
#include "content/preset.h"
#include "effect/messages.h"
#include "support/httpsserver.h"
#include "support/jsonschema.h"
#include "support/printers.h"
#include "support/synthetic_images.h"
#include "support/updateserver.h"
#include "support/waitfor.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vadrelon;

namespace {

const QString kBin = QStringLiteral(VADRELON_BIN_DIR);

struct Received {
    qint64 ms; // since the epoch
    QString hex;
};

// vadrelon-pedal-sim announced in `announceDir`, ended by SIGTERM.
class Sim {
public:
    Sim(const QString &announceDir, const QString &log, const QStringList &extra = {}) : log_(log)
    {
        process_.start(kBin + "/vadrelon-pedal-sim", QStringList{"--announce-dir", announceDir, "--log", log} + extra);
        if (process_.waitForReadyRead(5000))
            port_ = QString::fromLatin1(process_.readLine().trimmed());
    }
    ~Sim()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    QString port() const { return port_; }
    // The log once it holds at least `count` messages (the program may end before the pedal
    // has read its last one) and a moment more, so that a message too many shows too.
    QList<Received> received(int count = 0) const
    {
        QElapsedTimer clock;
        clock.start();
        while (read().size() < count && clock.elapsed() < 3000)
            QThread::msleep(5);
        QThread::msleep(50);
        return read();
    }
    QStringList messages(int count = 0) const
    {
        QStringList out;
        for (const Received &r : received(count))
            out << r.hex;
        return out;
    }

private:
    QList<Received> read() const
    {
        QFile f(log_);
        QList<Received> out;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().split('\n'))
                if (!line.isEmpty()) {
                    const qsizetype blank = line.indexOf(' ');
                    out.append({QDateTime::fromString(QString::fromLatin1(line.left(blank)), Qt::ISODateWithMs)
                                    .toMSecsSinceEpoch(),
                                QString::fromLatin1(line.mid(blank + 1))});
                }
        return out;
    }

    QProcess process_;
    QString log_, port_;
};

struct Outcome {
    int exitCode = -1;
    QString out, err;
    QByteArray bytes; // stdout as it came
    qint64 ms = 0;
};

// One run of the program, with the virtual pedals of announceDir and a home of its own.
Outcome vadrelon(const QString &announceDir, const QString &home, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VADRELON_VIRTUAL_PEDALS_DIR", announceDir);
    env.insert("HOME", home);
    p.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    p.start(kBin + "/vadrelon", args);
    Outcome o;
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "vadrelon " << args.join(' ').toStdString() << " did not end";
        return o;
    }
    o.ms = clock.elapsed();
    o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.bytes = p.readAllStandardOutput();
    o.out = QString::fromUtf8(o.bytes);
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

std::string shown(const Outcome &o)
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(o.exitCode).arg(o.out, o.err).toStdString();
}

// What the command printed, against a definition of the documented schema: one object, one line.
QStringList schemaViolations(const QString &printed, const char *definition)
{
    QFile f(QStringLiteral(VADRELON_SOURCE_DIR "/docs/vadrelon.schema.json"));
    if (!f.open(QIODevice::ReadOnly))
        return {"the schema is not there"};
    const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(printed.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {"no JSON object: " + printed};
    QStringList found = test::schemaViolations(
        doc.object(), QJsonObject{{"$ref", QStringLiteral("#/$defs/") + QLatin1String(definition)}}, root);
    if (!printed.endsWith("}\n") || printed.count('\n') != 1)
        found << "not one line";
    return found;
}

// "|" separates arguments, so that one may hold a blank ("Input Level").
QStringList args(const QString &line)
{
    return line.split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// One virtual pedal and the program run against it.
class Cli : public ::testing::Test {
protected:
    void startPedal(const QStringList &extra = {})
    {
        sim = std::make_unique<Sim>(announceDir(), dir.filePath("pedal.log"), extra);
        ASSERT_FALSE(sim->port().isEmpty()) << "the virtual pedal did not start";
    }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(home())); }
    QString announceDir() const { return dir.filePath("announce"); }
    QString home() const { return dir.filePath("home"); }
    QString file(const QString &name) const { return dir.filePath(name); }
    Outcome run(const QString &line) { return vadrelon(announceDir(), home(), args(line)); }
    // What the pedal received since the last call, once it has had `count` more.
    QStringList newMessages(int count = 0)
    {
        const QStringList all = sim->messages(seen_ + count);
        const QStringList fresh = all.mid(seen_);
        seen_ = static_cast<int>(all.size());
        return fresh;
    }

    QTemporaryDir dir;
    std::unique_ptr<Sim> sim;

private:
    int seen_ = 0;
};

TEST_F(Cli, StatusPrintsTheVersionsAndEveryParameterByName)
{
    startPedal({"--firmware", "11", "--algorithm", "0012"});
    const Outcome o = run("status");
    ASSERT_EQ(o.exitCode, 0) << shown(o);
    EXPECT_EQ(o.err, "");
    const QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
    for (const char *line : {"Firmware: 11",
                             "Algorithm: 0012",
                             "Versions: current",
                             "Effect: 00 Vadrelon MK3 0012",
                             "Dry: 0.0 % (00000000)",
                             "Sub Mix: 0.0 % (00000000)",
                             "-1 Oct: 0.0 % (00000000)",
                             "-2 Oct: 0.0 % (00000000)",
                             "Wave: unknown (00000000)",
                             "Low Pass: 0 (00000000)",
                             "High Pass: 0 (00000000)",
                             "1st Harmonic: 0.0 % (00000000)",
                             "Split: off (00000000)",
                             "Range: 0 (00000000)",
                             "Input Level: 0.0 % (00000000)",
                             "1st Harmonic Pitch: unknown (00000000)",
                             "Wave Clip: 0.0 % (00000000)",
                             "Dominant Notes Cut: off (00000000)",
                             "High Notes Cut: off (00000000)",
                             "Dry HPF: 0.0 % (00000000)",
                             "Footswitch: short press bypass, long press preset",
                             "Control I: none",
                             "Control II: none",
                             "Control III: none",
                             "Control IV: none",
                             "Remote footswitch: none",
                             "Tuning: 0 No Tuning Selected",
                             "Semitone shift: 0",
                             "Bypass: off",
                             "Bypass storage: off",
                             "Instrument: guitar",
                             "MIDI channel: omni"})
        EXPECT_TRUE(lines.contains(line)) << line << "\n" << o.out.toStdString();
    EXPECT_EQ(newMessages(1), QStringList{"02 00"});

    const Outcome json = run("--json|status");
    ASSERT_EQ(json.exitCode, 0) << shown(json);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    EXPECT_EQ(doc.object()["algorithm"], QJsonValue(12));
    EXPECT_EQ(doc.object()["parameters"].toArray().size(), 16);
    EXPECT_EQ(schemaViolations(json.out, "status"), QStringList());
    EXPECT_TRUE(json.out.endsWith("}\n")) << "one object, one line";
}

TEST_F(Cli, APresetSavedThenAnotherLoadedBringsTheOthersValuesToThePedal)
{
    startPedal();
    ASSERT_EQ(run("set|Sub Mix|0x00200000").exitCode, 0);
    const Outcome saved = run("preset|save|" + file("before.txt"));
    ASSERT_EQ(saved.exitCode, 0) << shown(saved);
    PresetValues before{};
    before[1] = 0x200000; // Sub Mix
    EXPECT_EQ(readAll(file("before.txt")), writePreset(before)) << "what the pedal reported";
    newMessages();

    PresetValues wanted = before;
    wanted[0] = 0x3FC000;  // Dry, at 0025
    wanted[4] = 0x400000;  // Wave, at 0002
    wanted[5] = 12;        // Low Pass, a step, at 00CF
    wanted[15] = 0x7FE000; // Dry HPF, at 0006
    ASSERT_TRUE(write(file("live.txt"), writePreset(wanted)));
    const Outcome loaded = run("preset|load|" + file("live.txt"));
    ASSERT_EQ(loaded.exitCode, 0) << shown(loaded);
    EXPECT_EQ(loaded.err, "");
    EXPECT_EQ(loaded.out, "Dry: 0.0 % (00000000) -> 49.8 % (003FC000)\n"
                          "Wave: unknown (00000000) -> on (00400000)\n"
                          "Low Pass: 0 (00000000) -> 12 (0000000C)\n"
                          "Dry HPF: 0.0 % (00000000) -> 99.9 % (007FE000)\n");
    const QStringList got = newMessages(5);
    ASSERT_EQ(got.size(), 5) << got.join('|').toStdString();
    EXPECT_EQ(got[0], "02 00");
    EXPECT_EQ(got[1], "01 00 25 00 3F C0 00");
    EXPECT_EQ(got[2], "01 00 02 00 40 00 00");
    EXPECT_TRUE(got[3].startsWith("01 00 CF ")) << got[3].toStdString();
    EXPECT_EQ(got[4], "01 00 06 00 7F E0 00");

    // The pedal now reports the preset, step included: saved again, it is the same file.
    ASSERT_EQ(run("preset|save|" + file("after.txt")).exitCode, 0);
    EXPECT_EQ(readAll(file("after.txt")), writePreset(wanted));

    // Back to the first file: only what differs goes out.
    newMessages();
    const Outcome back = run("preset|load|" + file("before.txt"));
    ASSERT_EQ(back.exitCode, 0) << shown(back);
    EXPECT_EQ(newMessages(5).size(), 1 + 4);
    const Outcome again = run("preset|load|" + file("before.txt"));
    ASSERT_EQ(again.exitCode, 0) << shown(again);
    EXPECT_EQ(newMessages(1), QStringList{"02 00"}) << "the pedal holds it already";
}

// The library the window shows, listed offline and against the pedal, and a preset of it
// loaded by its bank and name.
TEST_F(Cli, ThePresetLibraryIsListedAndItsPresetsLoadedByName)
{
    startPedal();
    const QString library = home() + "/Documents/NEROV/Vadrelon MK3/Preset";
    ASSERT_TRUE(QDir().mkpath(library + "/Live"));
    ASSERT_EQ(run("preset|save|" + library + "/Live/As is.txt").exitCode, 0);
    PresetValues fat{};
    fat[0] = 0x7FE000; // Dry
    ASSERT_TRUE(write(library + "/Live/Fat sub.txt", writePreset(fat)));
    ASSERT_TRUE(write(library + "/library.json", R"({"notes": {"Live/Fat sub": "low and round"}})"));

    newMessages();
    const Outcome listed = run("-j|preset|list");
    ASSERT_EQ(listed.exitCode, 0) << shown(listed);
    EXPECT_EQ(schemaViolations(listed.out, "presetList"), QStringList()) << listed.out.toStdString();
    const QJsonArray presets = QJsonDocument::fromJson(listed.out.toUtf8()).object()["presets"].toArray();
    ASSERT_EQ(presets.size(), 2);
    EXPECT_EQ(presets[1].toObject()["name"], QJsonValue("Fat sub"));
    EXPECT_EQ(presets[1].toObject()["note"], QJsonValue("low and round"));
    EXPECT_FALSE(presets[1].toObject().contains("held")) << "offline, nothing is compared";
    EXPECT_TRUE(newMessages().isEmpty()) << "listing alone never touches the pedal";

    const Outcome matched = run("preset|list|--match");
    ASSERT_EQ(matched.exitCode, 0) << shown(matched);
    const QStringList lines = matched.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("*\tLive\tAs is\t")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("\tLive\tFat sub\t")) << lines[1].toStdString();
    EXPECT_EQ(schemaViolations(run("-j|preset|list|--match").out, "presetList"), QStringList());

    newMessages();
    const Outcome loaded = run("preset|load|Live/Fat sub");
    ASSERT_EQ(loaded.exitCode, 0) << shown(loaded);
    EXPECT_EQ(newMessages(2), QStringList({"02 00", "01 00 25 00 7F E0 00"})) << "only Dry differs";
    EXPECT_TRUE(run("preset|list|--match").out.contains("*\tLive\tFat sub\t"));
}

TEST_F(Cli, TuningDataFollowsTheBypassAfterItsPauseAndTheBypassIsReadBack)
{
    startPedal();
    const Outcome o = run("--yes|tuning|upload");
    ASSERT_EQ(o.exitCode, 0) << shown(o);
    EXPECT_EQ(o.out, "Tuning data sent (641 bytes)\nBypass: on\n");
    EXPECT_EQ(o.err, "") << "no progress where stderr is no terminal";
    const QList<Received> got = sim->received(3);
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0].hex, "0D 01");
    EXPECT_EQ(got[1].hex.size(), 641 * 3 - 1) << "one message of 641 bytes";
    EXPECT_TRUE(got[1].hex.startsWith("0E 00 7F F5 EC FF 00 2B 70")) << got[1].hex.left(40).toStdString();
    EXPECT_TRUE(got[1].hex.endsWith("FF 81 37 C0"));
    EXPECT_EQ(got[2].hex, "02 00");
    EXPECT_GE(got[1].ms - got[0].ms, 395) << "the pedal's 400 ms to go quiet";
    EXPECT_GE(got[2].ms - got[1].ms, 95) << "the 100 ms after the table";
}

// Each command that sends without reading, and those that read the pedal first, against one
// pedal in turn: exactly their messages, and their answer.
TEST_F(Cli, EachCommandSendsExactlyItsMessages)
{
    startPedal();
    struct Case {
        const char *line;
        QStringList messages;
        const char *answer;
    };
    const Case cases[] = {
        {"midi|omni", {"07 00"}, "MIDI channel: omni\n"},
        {"midi|10", {"07 0A"}, "MIDI channel: 10\n"},
        {"midi|16", {"07 10"}, "MIDI channel: 16\n"},
        {"bypass-storage|on", {"10 01"}, "Bypass storage: on\n"},
        {"bypass-storage|off", {"10 FF"}, "Bypass storage: off\n"},
        {"tuning|set|7|-5", {"09 07 FB"}, "Tuning: 7 Open C (CGCGCE)\nSemitone shift: -5\n"},
        {"tuning|set|8|+3", {"09 08 03"}, "Tuning: 8 Bass Guitar\nSemitone shift: +3\n"},
        {"--yes|instrument|bass", {"0F BA 02 03 04 05 06 B3"}, "Instrument: bass\n"},
        {"--yes|instrument|guitar", {"0F FF 01 02 03 04 05 F1"}, "Instrument: guitar\n"},
        {"set|Dry|0x3FC000", {"02 00", "01 00 25 00 3F C0 00"}, "Dry: 49.8 % (003FC000)\n"},
        {"set|Input Level|25%", {"02 00", "01 00 0A 00 20 00 00"}, "Input Level: 25.0 % (00200000)\n"},
        // Stored: the six values the pedal reported just before, Input Level as set above.
        {"--yes|store",
         {"02 00", "03 00 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
         "Input Level: 25.0 % (00200000)\n1st Harmonic Pitch: unknown (00000000)\nWave Clip: 0.0 % (00000000)\n"
         "Dominant Notes Cut: off (00000000)\nHigh Notes Cut: off (00000000)\nDry HPF: 0.0 % (00000000)\n"},
        {"--json|midi|omni", {"07 00"}, "{\"midiChannel\":0}\n"},
        // Values in a player's terms, each the message the window's control sends for it.
        {"set|Dry|50%", {"02 00", "01 00 25 00 40 00 00"}, "Dry: 50.0 % (00400000)\n"},
        {"set|Low Pass|12", {"02 00", "01 00 CF 00 3F E0 00"}, "Low Pass: 12 (003FE000)\n"},
        {"set|high pass|16", {"02 00", "01 00 E3 00 7F E0 00"}, "High Pass: 16 (007FE000)\n"},
        {"set|Range|0", {"02 00", "01 00 00 00 00 00 00"}, "Range: 0 (00000000)\n"},
        {"set|Wave|on", {"02 00", "01 00 02 00 40 00 00"}, "Wave: on (00400000)\n"},
        {"set|Wave|OFF", {"02 00", "01 00 02 00 60 00 00"}, "Wave: off (00600000)\n"},
        {"set|Split|on", {"02 00", "01 00 EE 00 00 00 01"}, "Split: on (00000001)\n"},
        {"set|1st Harmonic Pitch|+3", {"02 00", "01 00 78 00 50 00 00"}, "1st Harmonic Pitch: +3 (00500000)\n"},
        {"set|1st Harmonic Pitch|+12", {"02 00", "01 00 78 00 80 00 00"}, "1st Harmonic Pitch: +12 (00800000)\n"},
        {"set|Dry HPF|100", {"02 00", "01 00 06 00 7F E0 00"}, "Dry HPF: 99.9 % (007FE000)\n"},
        {"set|Dominant Notes Cut|off", {"02 00", "01 00 1B 00 00 00 00"}, "Dominant Notes Cut: off (00000000)\n"},
        // The window's Assign and Set Footswitch Mode, and its bypass switch: the same bytes.
        {"assign|I|Input Level",
         {"02 00", "04 01 00 00 00 00 00 0A FF FF FF FF FF FF FF FF"},
         "Control I: Input Level\n"},
        {"assign|remote|bypass",
         {"02 00", "04 01 00 00 00 01 00 0A FF FF FF FF FF FF FF FE"},
         "Remote footswitch: bypass\n"},
        {"assign|ii|wave clip",
         {"02 00", "04 01 01 00 00 01 00 0A 00 EC FF FF FF FF FF FE"},
         "Control II: Wave Clip\n"},
        // A tuning was set above, so a note cut may go on a control.
        {"assign|III|Dominant Notes Cut",
         {"02 00", "04 01 01 01 00 01 00 0A 00 EC 00 1B FF FF FF FE"},
         "Control III: Dominant Notes Cut\n"},
        {"assign|I|none", {"02 00", "04 00 01 01 00 01 FF FF 00 EC 00 1B FF FF FF FE"}, "Control I: none\n"},
        {"footswitch|short|bypass|long|preset", {"08 00 00"}, "Footswitch: short press bypass, long press preset\n"},
        {"footswitch|long|bypass|short|preset", {"08 01 01"}, "Footswitch: short press preset, long press bypass\n"},
        {"bypass|on", {"0D 01"}, "Bypass: on\n"},
        {"bypass|off", {"0D 00"}, "Bypass: off\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const Outcome o = run(c.line);
        ASSERT_EQ(o.exitCode, 0) << shown(o);
        EXPECT_EQ(o.out, c.answer);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(newMessages(static_cast<int>(c.messages.size())), c.messages);
    }
    // The instrument is the pedal's setting; the window's menu marks are not the command's.
    QDirIterator files(home(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    EXPECT_FALSE(files.hasNext()) << files.next().toStdString();
}

TEST_F(Cli, WhatCanBeRefusedWithoutThePedalIsRefusedBeforeAnythingIsSent)
{
    startPedal();
    PresetValues values{};
    values[3] = 0x123;
    const QByteArray good = writePreset(values);
    QByteArray badLine3 = good;
    badLine3.replace(3 + 2 * 9, 8, "00ZZ0040");
    ASSERT_TRUE(write(file("bad.txt"), badLine3));
    ASSERT_TRUE(write(file("short.txt"), good.left(good.lastIndexOf('\r'))));
    ASSERT_TRUE(write(file("kept.txt"), good));
    QByteArray image = MakeAlgorithmImage(0x0012);
    image[2] = char(image[2] + 1); // its length field no longer gives its size
    ASSERT_TRUE(write(file("bad.dat"), image));
    struct Case {
        QString line;
        int exitCode;
        const char *says;
    };
    const Case cases[] = {
        {"preset|load|" + file("bad.txt"), 1, "line 3 is \"00ZZ0040\""},
        {"preset|load|" + file("short.txt"), 1, "it ends after line 15"},
        {"preset|load|" + file("missing.txt"), 1, "missing.txt"},
        {"preset|save|" + file("kept.txt"), 2, "already exists; give --yes to replace it"},
        {"store", 2, "store changes what the pedal keeps: give --yes"},
        {"tuning|upload", 2, "tuning upload changes what the pedal keeps"},
        {"instrument|bass", 2, "instrument changes what the pedal keeps"},
        {"algorithm|upload|" + file("bad.dat"), 2, "algorithm upload changes what the pedal keeps"},
        {"--yes|algorithm|upload|" + file("bad.dat"), 1, "length field says 4513 bytes, but the file has 4512"},
        {"tuning|set|9|0", 2, "INDEX is 0 to 8"},
        {"tuning|set|1|-6", 2, "INDEX is 0 to 8"},
        {"set|Volume|1", 2, "no parameter is called \"Volume\""},
        // Out of range, in a player's terms or raw: refused before the pedal is asked anything.
        {"set|Dry HPF|0xFFFFFFFF", 2, "is not a raw value from 0x00000000 to 0x007FE000 for Dry HPF"},
        {"set|Dry|101%", 2, "\"101%\" is not a level from 0 to 100 % for Dry"},
        {"set|Wave|0x00500000", 2, "is not the raw value 0x00400000 or 0x00600000 for Wave"},
        {"set|Split|2", 2, "\"2\" is not on or off for Split"},
        {"set|Low Pass|25", 2, "is not a step from 0 to 24 for Low Pass"},
        {"set|1st Harmonic Pitch|+13", 2, "is not a pitch from -12 to +12 semitones"},
        {"assign|III|Wave Clip", 2, "control III takes"},
        {"footswitch|short|bypass|long|mute", 2, "a long press does bypass or preset"},
        // Outputs are looked at before the pedal is: a dump would be read for nothing.
        {"eeprom|read|-o|" + file("missing/dir/dump.bin"), 1, "Error writing file"},
        {"preset|save|" + file("missing/live.txt"), 1, "Error saving file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        const Outcome o = run(c.line);
        EXPECT_EQ(o.exitCode, c.exitCode) << shown(o);
        EXPECT_TRUE(o.err.startsWith("vadrelon: ")) << shown(o);
        EXPECT_TRUE(o.err.contains(c.says)) << shown(o);
        EXPECT_EQ(o.err.count('\n'), 1) << "one line";
        EXPECT_EQ(o.out, "");
    }
    EXPECT_EQ(readAll(file("kept.txt")), good);
    EXPECT_EQ(sim->messages(), QStringList{}) << "not even a status request";
}

// A pedal that fails in the middle: one line, a non-zero status, well within the bounds, and
// nothing sent after what the pedal said could not be trusted.
TEST_F(Cli, APedalThatFailsIsToldInOneLine)
{
    struct Case {
        const char *name;
        QStringList faults;
        QString line;
        const char *says;
        QStringList messages; // what the pedal received
    };
    const Case cases[] = {
        {"silent", {"--silent"}, "status", "did not answer the status request", {"02 00"}},
        {"short reply", {"--reply-values", "40"}, "status", "incomplete (40 of 90 values)", {"02 00"}},
        {"garbled reply", {"--garble", "digits"}, "set|Dry|1", "garbled", {"02 00"}},
        {"old firmware", {"--firmware", "10"}, "set|Dry|1", "Upgrade to Firmware 11. Nothing was sent.", {"02 00"}},
        {"old algorithm",
         {"--algorithm", "0011"},
         "--yes|store",
         "Upload Vadrelon MK3 0012. Nothing was sent.",
         {"02 00"}},
        {"old algorithm, preset",
         {"--algorithm", "0011"},
         "preset|save|" + file("never.txt"),
         "Nothing was sent.",
         {"02 00"}},
        {"unplugged after the status", {"--unplug-after", "1"}, "--yes|store", "no longer connected", {"02 00"}},
        {"unplugged after the bypass",
         {"--unplug-after", "1"},
         "--yes|tuning|upload",
         "no longer connected",
         {"0D 01"}},
        {"effect number not in the catalogue", {"--value-text", "3=5"}, "status", "effect number", {"02 00"}},
        {"a note cut switched on with no tuning",
         {},
         "set|High Notes Cut|on",
         "Set a tuning before using this parameter",
         {"02 00"}},
        {"another control carrying an address no entry has",
         {"--value-text", "6=1", "--value-text", "12=1", "--value-text", "13=35"},
         "assign|I|Input Level",
         "Control II carries something this effect has no entry for",
         {"02 00"}},
        {"a note cut assigned with no tuning",
         {},
         "assign|IV|Dominant Notes Cut",
         "select a tuning before assigning this parameter",
         {"02 00"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir own;
        const QString announce = own.filePath("announce");
        Sim pedal(announce, own.filePath("pedal.log"), c.faults);
        ASSERT_FALSE(pedal.port().isEmpty());
        const Outcome o = vadrelon(announce, home(), args(c.line));
        EXPECT_EQ(o.exitCode, 1) << shown(o);
        EXPECT_TRUE(o.err.contains(c.says)) << shown(o);
        EXPECT_EQ(o.err.count('\n'), 1) << shown(o);
        // status still tells the versions it could read.
        EXPECT_EQ(o.out, c.line == "status" && c.faults.contains("3=5") ? "Firmware: 11\nAlgorithm: 0012\n" : "");
        EXPECT_LT(o.ms, 5000);
        EXPECT_EQ(pedal.messages(static_cast<int>(c.messages.size())), c.messages);
    }
    EXPECT_FALSE(QFile::exists(file("never.txt")));
}

// A tuning table that went out is not taken back by a status read that fails after it: the
// player is told it went out, and that the pedal is left bypassed.
TEST_F(Cli, AFailedReadAfterTheTuningTableSaysTheTableWentOut)
{
    startPedal({"--answer-status-requests", "0"});
    const Outcome o = run("--yes|tuning|upload");
    EXPECT_EQ(o.exitCode, 1) << shown(o);
    EXPECT_TRUE(o.err.startsWith("vadrelon: The tuning table went out (641 bytes) and left the pedal bypassed, but its "
                                 "status could not be read after it: The pedal did not answer the status request."))
        << shown(o);
    EXPECT_EQ(o.err.count('\n'), 1);
    EXPECT_EQ(newMessages(3).size(), 3) << "the bypass, the table, the status request";
}

// With --json the answer and the failure are objects of the documented schema, numbers where
// numbers belong; a failure also keeps its line on stderr and its exit status.
TEST_F(Cli, JsonAnswersAndFailuresFollowTheDocumentedSchema)
{
    startPedal({"--firmware", "11", "--algorithm", "0012"});
    struct Case {
        const char *line;
        const char *definition;
        int exitCode;
    };
    const Case cases[] = {
        {"-j|status", "status", 0},
        {"--json|set|Dry|50%", "set", 0},
        {"-j|assign|remote|preset", "assign", 0},
        {"-j|footswitch|short|preset|long|preset", "footswitch", 0},
        {"-j|bypass|off", "bypass", 0},
        {"-j|list", "list", 0},
        {"-j|--version", "version", 0},
        {"-j|coeff|D2", "coeff", 0},
        {"-j|set|Dry|200%", "failure", 2},
        {"-j|frobnicate", "failure", 2},
        {"-j|--serial|NONE|status", "failure", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const Outcome o = run(c.line);
        EXPECT_EQ(o.exitCode, c.exitCode) << shown(o);
        EXPECT_EQ(schemaViolations(o.out, c.definition), QStringList()) << o.out.toStdString();
        EXPECT_EQ(o.err.isEmpty(), c.exitCode == 0) << shown(o);
    }
    const QJsonObject status = QJsonDocument::fromJson(run("-j|status").out.toUtf8()).object();
    EXPECT_EQ(status["firmware"], QJsonValue(11));
    EXPECT_EQ(status["parameters"].toArray()[ParDry].toObject(),
              QJsonObject({{"name", "Dry"}, {"value", 50.0}, {"unit", "%"}, {"raw", 0x400000}}));
    EXPECT_EQ(status["assignments"].toArray()[CtrlRemote].toObject()["parameter"], QJsonValue("preset"));
    EXPECT_EQ(status["footswitch"].toObject(), QJsonObject({{"mode", 2}, {"short", "preset"}, {"long", "preset"}}));

    const Outcome refused = run("-j|set|Dry|200%");
    const QJsonObject error = QJsonDocument::fromJson(refused.out.toUtf8()).object()["error"].toObject();
    EXPECT_EQ(error["code"], QJsonValue("usage"));
    EXPECT_EQ("vadrelon: " + error["message"].toString() + "\n", refused.err) << "the same words on both";
}

// A status reply refused for its effect number still gives its versions, in JSON too.
TEST_F(Cli, StatusOfAnUnknownEffectTellsTheVersions)
{
    startPedal({"--value-text", "3=5"});
    const Outcome o = run("--json|status");
    EXPECT_EQ(o.exitCode, 1) << shown(o);
    EXPECT_EQ(schemaViolations(o.out, "failure"), QStringList());
    const QJsonObject json = QJsonDocument::fromJson(o.out.toUtf8()).object();
    EXPECT_EQ(json["firmware"], QJsonValue(11));
    EXPECT_EQ(json["algorithm"], QJsonValue(12));
    EXPECT_TRUE(o.err.contains("effect number that is not valid (05)")) << shown(o);
}

TEST(CliOffline, VersionIsPrintedWithoutAPedal)
{
    QTemporaryDir dir;
    for (const char *option : {"--version", "-V"}) {
        const Outcome o = vadrelon(dir.filePath("announce"), dir.path(), {option});
        EXPECT_EQ(o.exitCode, 0) << shown(o);
        EXPECT_EQ(o.out, "vadrelon " VADRELON_EDITOR_VERSION "\n");
        EXPECT_EQ(o.err, "");
    }
    const Outcome help = vadrelon(dir.filePath("announce"), dir.path(), {"help", "assign"});
    EXPECT_EQ(help.exitCode, 0) << shown(help);
    EXPECT_TRUE(help.out.startsWith("usage: vadrelon [OPTIONS] assign CONTROL PARAMETER|none\n")) << shown(help);
    EXPECT_EQ(vadrelon(dir.filePath("announce"), dir.path(), {"assign", "--help"}).out, help.out);
}

// "-" is stdout for -o and for a saved preset, and stdin for a preset to load.
TEST_F(Cli, ADashIsStdoutOrStdin)
{
    startPedal();
    ASSERT_EQ(run("set|Sub Mix|0x00200000").exitCode, 0);
    const Outcome dump = run("eeprom|read|-o|-");
    ASSERT_EQ(dump.exitCode, 0) << dump.err.toStdString();
    ASSERT_EQ(dump.bytes.size(), 16384) << "the bytes alone";
    ASSERT_EQ(run("eeprom|read|-o|" + file("dump.bin")).exitCode, 0);
    EXPECT_EQ(dump.bytes, readAll(file("dump.bin"))) << "the same bytes as into a file";
    EXPECT_EQ(dump.err, "");
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("-")));

    const Outcome saved = run("preset|save|-");
    ASSERT_EQ(saved.exitCode, 0) << shown(saved);
    PresetValues values{};
    values[ParSubMix] = 0x200000;
    EXPECT_EQ(saved.bytes, writePreset(values));

    values[ParDry] = 0x3FC000;
    newMessages();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VADRELON_VIRTUAL_PEDALS_DIR", announceDir());
    env.insert("HOME", home());
    p.setProcessEnvironment(env);
    p.start(kBin + "/vadrelon", {"preset", "load", "-"});
    ASSERT_TRUE(p.waitForStarted());
    p.write(writePreset(values));
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(newMessages(2), QStringList({"02 00", "01 00 25 00 3F C0 00"}));
}

// The bash completion as a shell loads it: what Tab offers after the words typed so far.
QStringList completions(const QStringList &words, const QString &announceDir = QString())
{
    const QString script = QStringLiteral(VADRELON_SOURCE_DIR "/packaging/completion/vadrelon.bash");
    QProcess bash;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", kBin + ":" + env.value("PATH"));
    if (!announceDir.isEmpty())
        env.insert("VADRELON_VIRTUAL_PEDALS_DIR", announceDir);
    bash.setProcessEnvironment(env);
    // The words come as arguments, so that no quoting of the test's own gets in the way.
    bash.start("bash", QStringList{"-c",
                                   "source \"$0\" && COMP_WORDS=(vadrelon \"$@\") && COMP_CWORD=$# && _vadrelon && "
                                   "printf '%s\\n' \"${COMPREPLY[@]}\"",
                                   script} +
                           words);
    bash.waitForFinished(10000);
    return QString::fromUtf8(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(CliShell, TheBashCompletionLoadsAndOffersNamesValuesAndPedals)
{
    if (QStandardPaths::findExecutable("bash").isEmpty())
        GTEST_SKIP() << "no bash";
    QProcess load;
    load.start("bash", {"-c", "source \"$0\" && complete -p vadrelon",
                        QStringLiteral(VADRELON_SOURCE_DIR "/packaging/completion/vadrelon.bash")});
    ASSERT_TRUE(load.waitForFinished(10000));
    EXPECT_EQ(load.readAllStandardOutput(), "complete -F _vadrelon vadrelon\n");

    EXPECT_EQ(completions({"set", ""}),
              QStringList({"Dry", "Sub\\ Mix", "-1\\ Oct", "-2\\ Oct", "Wave", "Low\\ Pass", "High\\ Pass",
                           "1st\\ Harmonic", "Split", "Range", "Input\\ Level", "1st\\ Harmonic\\ Pitch", "Wave\\ Clip",
                           "Dominant\\ Notes\\ Cut", "High\\ Notes\\ Cut", "Dry\\ HPF"}));
    struct Case {
        QStringList words;
        QStringList offered;
    };
    const Case cases[] = {
        {{"st"}, {"status", "store"}},
        {{"set", "\"1st"}, {"\"1st Harmonic\"", "\"1st Harmonic Pitch\""}},
        {{"set", "dry\\ h"}, {"Dry\\ HPF"}},
        {{"--json", "set", "Wave", ""}, {"on", "off"}},
        {{"set", "\"High Notes Cut\"", "o"}, {"on", "off"}},
        {{"set", "Dry", ""}, {}},
        {{"assign", "iii", ""}, {"Dominant\\ Notes\\ Cut", "High\\ Notes\\ Cut", "none"}},
        {{"assign", "remote", ""}, {"bypass", "preset", "none"}},
        {{"midi", "o"}, {"omni"}},
        {{"coeff", "G#"}, {"G#2", "G#3", "G#4", "G#5"}},
        {{"--j"}, {"--json"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(completions(c.words), c.offered) << c.words.join(' ').toStdString();

    QTemporaryDir dir;
    Sim pedal(dir.filePath("announce"), dir.filePath("pedal.log"), {"--serial", "VPTAB1"});
    ASSERT_FALSE(pedal.port().isEmpty());
    EXPECT_EQ(completions({"--serial", ""}, dir.filePath("announce")), QStringList{"VPTAB1"});
}

// zsh finds the completion among its functions and takes it for the command.
TEST(CliShell, TheZshCompletionIsTakenForTheCommand)
{
    if (QStandardPaths::findExecutable("zsh").isEmpty())
        GTEST_SKIP() << "no zsh";
    QProcess zsh;
    zsh.start("zsh", {"-fc",
                      "fpath=(\"$1\" $fpath); autoload -Uz compinit && compinit -u -D && "
                      "print -r -- $_comps[vadrelon]",
                      "zsh", QStringLiteral(VADRELON_SOURCE_DIR "/packaging/completion")});
    ASSERT_TRUE(zsh.waitForFinished(20000));
    EXPECT_EQ(zsh.readAllStandardOutput(), "_vadrelon\n") << zsh.readAllStandardError().toStdString();
}

// The manual page reads without a warning and names itself for the whatis database.
TEST(CliShell, TheManualPageHasNoWarnings)
{
    const QString page = QStringLiteral(VADRELON_SOURCE_DIR "/packaging/man/vadrelon.1");
    if (QStandardPaths::findExecutable("man").isEmpty() || QStandardPaths::findExecutable("lexgrog").isEmpty())
        GTEST_SKIP() << "man or lexgrog is not installed";
    QProcess man;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MANWIDTH", "200"); // no phrase broken over two lines
    env.insert("MAN_KEEP_FORMATTING", "");
    man.setProcessEnvironment(env);
    man.start("man", {"-l", "--warnings", "-E", "UTF-8", page});
    ASSERT_TRUE(man.waitForFinished(20000));
    EXPECT_EQ(man.exitCode(), 0);
    EXPECT_EQ(man.readAllStandardError(), "");
    const QString text = QString::fromUtf8(man.readAllStandardOutput());
    // Every command of the program is documented, and so is every variable it reads.
    for (const char *word : {"list",
                             "status",
                             "set",
                             "assign",
                             "footswitch",
                             "bypass",
                             "store",
                             "preset save",
                             "preset load",
                             "tuning set",
                             "tuning upload",
                             "instrument",
                             "midi",
                             "bypass-storage",
                             "algorithm upload",
                             "upgrade",
                             "eeprom read",
                             "eeprom erase",
                             "coeff",
                             "check-update",
                             "help",
                             "VADRELON_VIRTUAL_PEDALS_DIR",
                             "VADRELON_UPDATE_BASE_URL",
                             "VADRELON_UPDATE_CA_FILE",
                             "EXIT STATUS",
                             "FILES",
                             "EXAMPLES"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(word))) << word;
    QProcess lexgrog;
    lexgrog.start("lexgrog", {page});
    ASSERT_TRUE(lexgrog.waitForFinished(20000));
    EXPECT_EQ(lexgrog.exitCode(), 0) << lexgrog.readAllStandardError().toStdString();
    EXPECT_TRUE(lexgrog.readAllStandardOutput().contains("vadrelon - talk to the Vadrelon MK3 pedal"));
}

// --yes lets a save replace a file of that name, not a named pipe standing in its place.
TEST_F(Cli, ASaveRefusesANamedPipeEvenWithYes)
{
    startPedal();
    const QString pipe = file("pipe.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const Outcome o = run("--yes|preset|save|" + pipe);
    EXPECT_EQ(o.exitCode, 1) << shown(o);
    EXPECT_EQ(o.err, "vadrelon: Error saving file: \"" + pipe + "\": it is a named pipe, not a file\n");
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(sim->messages(), QStringList{}) << "refused before the pedal is asked anything";
    struct stat seen {};
    EXPECT_TRUE(::stat(QFile::encodeName(pipe).constData(), &seen) == 0 && S_ISFIFO(seen.st_mode));
}

TEST_F(Cli, APortHeldByAnotherProgramIsToldInOneLine)
{
    startPedal();
    const int held = ::open(QFile::encodeName(sim->port()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const Outcome o = run("status");
    ::close(held);
    EXPECT_EQ(o.exitCode, 1) << shown(o);
    EXPECT_TRUE(o.err.contains("is in use by another program")) << shown(o);
    EXPECT_EQ(o.err.count('\n'), 1);
    EXPECT_EQ(sim->messages(), QStringList{});
}

TEST_F(Cli, AnAlgorithmImageGoesOutWholeAfterTheBypassAndThePedalsAnswerIsPrinted)
{
    startPedal();
    ASSERT_TRUE(write(file("0012.dat"), MakeAlgorithmImage(0x0012)));
    const Outcome o = run("--yes|algorithm|upload|" + file("0012.dat"));
    ASSERT_EQ(o.exitCode, 0) << shown(o);
    EXPECT_EQ(o.out, "Upload complete\n");
    EXPECT_EQ(o.err, "");
    const QList<Received> got = sim->received(2);
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].hex, "0D 01");
    EXPECT_EQ(got[1].hex.size(), 4512 * 3 - 1) << "the image in one message";
    EXPECT_GE(got[1].ms - got[0].ms, 395);
}

// Interrupted from the shell, the command says what it was doing and how the pedal is left,
// and ends with the signal's status.
TEST_F(Cli, AnInterruptedCommandSaysHowThePedalIsLeft)
{
    struct Case {
        const char *what;
        QStringList pedal;
        QString line;
        int signal;
        int afterMs;
        QString says; // the start of the one line on stderr
    };
    ASSERT_TRUE(write(file("0012.dat"), MakeAlgorithmImage(0x0012)));
    ASSERT_TRUE(write(file("FIRMWARE_11.bin"), MakeFirmwareImage(11, 52376)));
    const Case cases[] = {
        {"an upload the pedal does not confirm",
         {"--silent"},
         "--yes|algorithm|upload|" + file("0012.dat"),
         SIGINT,
         1500,
         "vadrelon: the algorithm upload was interrupted after all 4512 bytes, before the pedal confirmed it: "
         "upload again\n"},
        {"a status request", {"--silent"}, "status", SIGTERM, 300, "vadrelon: status was interrupted\n"},
        {"a status request, for a script",
         {"--silent"},
         "-j|status",
         SIGINT,
         300,
         "vadrelon: status was interrupted\n"},
        {"an upgrade at the line's own pace",
         {"--bootloader", "--line-rate"},
         "--yes|upgrade|" + file("FIRMWARE_11.bin"),
         SIGINT,
         2500,
         "vadrelon: the firmware upgrade was interrupted at the "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        startPedal(c.pedal);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VADRELON_VIRTUAL_PEDALS_DIR", announceDir());
        env.insert("HOME", home());
        p.setProcessEnvironment(env);
        p.start(kBin + "/vadrelon", args(c.line));
        ASSERT_TRUE(p.waitForStarted());
        QTest::qWait(c.afterMs);
        ::kill(static_cast<pid_t>(p.processId()), c.signal);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 128 + c.signal);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.startsWith(c.says)) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        if (c.line.startsWith("-j|")) {
            EXPECT_EQ(schemaViolations(out, "failure"), QStringList());
            EXPECT_TRUE(out.contains("\"code\":\"interrupted\"")) << out.toStdString();
        } else {
            EXPECT_EQ(out, "");
        }
        if (c.line.contains("upgrade")) {
            EXPECT_TRUE(err.contains("the pedal waits in its bootloader without working firmware"))
                << err.toStdString();
        }
        sim.reset();
    }
}

// Without --serial or --port there must be exactly one pedal; otherwise the program says what
// it found.
TEST(CliPedals, NoneOrSeveralAreToldAndListed)
{
    QTemporaryDir dir;
    const QString announce = dir.filePath("announce");
    const QString home = dir.path();
    const Outcome none = vadrelon(announce, home, {"status"});
    EXPECT_EQ(none.exitCode, 1) << shown(none);
    EXPECT_EQ(none.err, "vadrelon: No pedal was found: plug one in, or start a virtual pedal.\n");
    const Outcome emptyList = vadrelon(announce, home, {"list"});
    EXPECT_EQ(emptyList.exitCode, 1) << shown(emptyList);
    EXPECT_EQ(emptyList.err, "vadrelon: no pedal found\n");
    EXPECT_EQ(emptyList.out, "");

    Sim a(announce, dir.filePath("a.log"), {"--serial", "VPA", "--description", "Pedal A"});
    Sim b(announce, dir.filePath("b.log"), {"--serial", "VPB", "--description", "Pedal B"});
    ASSERT_FALSE(a.port().isEmpty() || b.port().isEmpty());
    const QString lineA = "VPA\tPedal A\t" + a.port();
    const QString lineB = "VPB\tPedal B\t" + b.port();

    const Outcome two = vadrelon(announce, home, {"status"});
    EXPECT_EQ(two.exitCode, 1) << shown(two);
    EXPECT_EQ(two.err.split('\n', Qt::SkipEmptyParts),
              QStringList({"vadrelon: 2 pedals found; choose one with --serial or --port.",
                           "Pedals found (serial number, description, port):", lineA, lineB}));
    EXPECT_EQ(two.out, "");

    const Outcome list = vadrelon(announce, home, {"list"});
    EXPECT_EQ(list.out, lineA + "\n" + lineB + "\n");

    const Outcome bySerial = vadrelon(announce, home, {"--serial", "VPB", "midi", "3"});
    EXPECT_EQ(bySerial.exitCode, 0) << shown(bySerial);
    const Outcome byPort = vadrelon(announce, home, {"--port", a.port(), "midi", "4"});
    EXPECT_EQ(byPort.exitCode, 0) << shown(byPort);
    EXPECT_EQ(a.messages(1), QStringList{"07 04"});
    EXPECT_EQ(b.messages(1), QStringList{"07 03"});

    const Outcome unknown = vadrelon(announce, home, {"--serial", "VPC", "status"});
    EXPECT_EQ(unknown.exitCode, 1) << shown(unknown);
    EXPECT_TRUE(unknown.err.startsWith("vadrelon: No pedal has the serial number VPC.\n")) << shown(unknown);
    EXPECT_TRUE(unknown.err.contains(lineA) && unknown.err.contains(lineB)) << shown(unknown);
}

// --port takes a terminal that no listing finds (another maker's adapter, a pseudo-terminal
// nobody announced), and refuses what is no terminal before anything is opened for it.
TEST(CliPedals, AnyTerminalIsTakenByItsPath)
{
    QTemporaryDir dir;
    Sim unannounced(dir.filePath("elsewhere"), dir.filePath("pedal.log"));
    ASSERT_FALSE(unannounced.port().isEmpty());
    const QString announce = dir.filePath("announce"); // where the command looks: nothing
    const Outcome o = vadrelon(announce, dir.path(), {"--port=" + unannounced.port(), "bypass", "off"});
    EXPECT_EQ(o.exitCode, 0) << shown(o);
    EXPECT_EQ(unannounced.messages(1), QStringList{"0D 00"});
    const Outcome notATerminal = vadrelon(announce, dir.path(), {"--port", "/dev/null", "status"});
    EXPECT_EQ(notATerminal.exitCode, 1) << shown(notATerminal);
    EXPECT_EQ(notATerminal.err, "vadrelon: No pedal can be at /dev/null: /dev/null is not a terminal.\n");
}

} // namespace

// The upgrade from a shell: into the bootloader from the running firmware, or found there;
// afterwards stm32flash, another host, reads the flash back and finds the image and the record.
class CliUpgrade : public Cli {
protected:
    // The whole flash as stm32flash reads it, after the running firmware was sent back into
    // its bootloader (stm32flash greets it itself).
    QByteArray flashReadByAnotherHost()
    {
        const QString stm32flash = QStandardPaths::findExecutable(QStringLiteral("stm32flash"));
        if (stm32flash.isEmpty())
            return {};
        const int fd = ::open(QFile::encodeName(sim->port()).constData(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            return {};
        const QByteArray entry = QByteArray::fromHex("0500010203040506");
        const bool sent = ::write(fd, entry.constData(), size_t(entry.size())) == entry.size();
        ::close(fd);
        if (!sent)
            return {};
        QThread::msleep(200);
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        const QString out = file("readback.bin");
        p.start(stm32flash, {"-m", "8n1", "-b", "115200", "-r", out, "-S", "0x08000000:131072", sim->port()});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            ADD_FAILURE() << "stm32flash: " << p.readAll().constData();
            return {};
        }
        return readAll(out);
    }
    static QByteArray flashOf(const QByteArray &image, quint8 version)
    {
        QByteArray flash(128 * 1024, char(0xFF));
        flash.replace(0, image.size(), image);
        flash.replace(0x1FC00, 8, QByteArray(7, '\0') + char(version));
        return flash;
    }
};

TEST_F(CliUpgrade, FromTheRunningFirmwareThroughItsBootloaderToTheNewOne)
{
    if (QStandardPaths::findExecutable(QStringLiteral("stm32flash")).isEmpty())
        GTEST_SKIP() << "stm32flash is not installed";
    startPedal({"--firmware", "10"});
    const QByteArray image = MakeFirmwareImage(11, 8000);
    ASSERT_TRUE(write(file("FIRMWARE_11.bin"), image));
    const Outcome o = run("--yes|upgrade|" + file("FIRMWARE_11.bin"));
    ASSERT_EQ(o.exitCode, 0) << shown(o);
    EXPECT_EQ(o.out, "Firmware 11 installed, verified and started\n");
    EXPECT_EQ(o.err, "");
    const QStringList got = newMessages();
    ASSERT_GE(got.size(), 6);
    EXPECT_EQ(got.mid(0, 6), QStringList({"02 00", "0D 01", "05 00 01 02 03 04 05 06", "7F", "43 BC", "FF 00"}));
    EXPECT_EQ(got.mid(got.size() - 2), QStringList({"21 DE", "08 00 00 00 08"}));
    EXPECT_EQ(flashReadByAnotherHost(), flashOf(image, 11));
}

// Firmware before 9 does not go into its bootloader when asked; the command says how to get it
// there.
TEST_F(CliUpgrade, FirmwareBeforeNineIsNotAskedIntoItsBootloader)
{
    ASSERT_TRUE(write(file("FIRMWARE_11.bin"), MakeFirmwareImage(11, 3000)));
    startPedal({"--firmware", "8"});
    const Outcome o = run("--yes|upgrade|" + file("FIRMWARE_11.bin"));
    EXPECT_EQ(o.exitCode, 1) << shown(o);
    EXPECT_EQ(o.err, "vadrelon: Firmware 8 cannot be sent into its bootloader. Unplug the pedal, plug it in again "
                     "with its SHIFT button held, and run the upgrade again.\n");
    EXPECT_EQ(newMessages(), QStringList({"02 00"}));
}

// The status request has one bound, the window's: a firmware slow to answer it is asked into
// its bootloader, never greeted as a bootloader would be.
TEST_F(CliUpgrade, AFirmwareSlowToAnswerIsStillAskedIn)
{
    ASSERT_TRUE(write(file("FIRMWARE_11.bin"), MakeFirmwareImage(11, 3000)));
    startPedal({"--firmware", "10", "--answer-delay", "1000"});
    run("--yes|upgrade|" + file("FIRMWARE_11.bin"));
    const QStringList got = newMessages();
    ASSERT_GE(got.size(), 2);
    EXPECT_EQ(got.mid(0, 2), QStringList({"02 00", "0D 01"})) << got.join('|').toStdString();
}

TEST_F(CliUpgrade, APedalAlreadyInItsBootloaderIsFoundThere)
{
    startPedal({"--bootloader"});
    const QByteArray image = MakeFirmwareImage(9, 3000);
    ASSERT_TRUE(write(file("maker.bin"), image));
    EXPECT_EQ(run("--yes|upgrade|" + file("maker.bin")).exitCode, 2) << "the version is not in the name";
    const Outcome o = run("--yes|--firmware-version=9|upgrade|" + file("maker.bin"));
    ASSERT_EQ(o.exitCode, 0) << shown(o);
    EXPECT_EQ(o.out, "Firmware 9 installed, verified and started\n");
    const QStringList got = newMessages();
    ASSERT_GE(got.size(), 2);
    EXPECT_EQ(got.mid(0, 2), QStringList({"7F", "43 BC"})) << "the status request means nothing to a bootloader";
}

TEST_F(CliUpgrade, AStepRefusedStopsItBeforeTheStartWithOneLine)
{
    startPedal({"--bootloader", "--nack", "write:data"});
    ASSERT_TRUE(write(file("FIRMWARE_11.bin"), MakeFirmwareImage(11, 3000)));
    const Outcome o = run("--yes|upgrade|" + file("FIRMWARE_11.bin"));
    EXPECT_EQ(o.exitCode, 1) << shown(o);
    EXPECT_EQ(o.out, "");
    EXPECT_TRUE(o.err.startsWith("vadrelon: The firmware upgrade stopped at the data of block 0 (0x08000000): the "
                                 "pedal answered NACK."))
        << o.err.toStdString();
    EXPECT_EQ(o.err.count('\n'), 1);
    EXPECT_FALSE(newMessages().contains("21 DE"));
}

// The message of a stopped upgrade says to run it again: the pedal, greeted before, NACKs the
// status request, and that leads the second run to its bootloader. In between, status says
// where the pedal is.
TEST_F(CliUpgrade, AStoppedUpgradeIsFinishedByRunningItAgain)
{
    startPedal({"--firmware", "10", "--nack", "write:data", "--nack-times", "1"});
    const QByteArray image = MakeFirmwareImage(11, 3000);
    ASSERT_TRUE(write(file("FIRMWARE_11.bin"), image));
    const Outcome stopped = run("--yes|upgrade|" + file("FIRMWARE_11.bin"));
    EXPECT_EQ(stopped.exitCode, 1) << shown(stopped);
    EXPECT_EQ(stopped.err, "vadrelon: The firmware upgrade stopped at the data of block 0 (0x08000000): the pedal "
                           "answered NACK. The pedal waits in its bootloader without working firmware. Run vadrelon "
                           "--yes upgrade FILE again: it finds the pedal there.\n");

    const Outcome status = run("status");
    EXPECT_EQ(status.exitCode, 1) << shown(status);
    EXPECT_EQ(status.out, "");
    EXPECT_EQ(status.err, "vadrelon: The pedal is waiting in its bootloader, without working firmware, as an upgrade "
                          "that did not finish leaves it. Install its firmware with vadrelon --yes upgrade FILE.\n");

    newMessages();
    const Outcome again = run("--yes|upgrade|" + file("FIRMWARE_11.bin"));
    ASSERT_EQ(again.exitCode, 0) << shown(again);
    EXPECT_EQ(again.out, "Firmware 11 installed, verified and started\n");
    const QStringList got = newMessages();
    ASSERT_GE(got.size(), 3);
    EXPECT_EQ(got.mid(0, 3), QStringList({"02 00", "7F 7F", "43 BC"}))
        << "the status request's NACK leads to the greeting, and a second 0x7F makes a command the bootloader NACKs";
    EXPECT_EQ(got.last(), "08 00 00 00 08");
}

TEST_F(Cli, TheSettingsMemoryIsReadIntoAFileAndErased)
{
    startPedal();
    const Outcome read = run("eeprom|read|-o|" + file("dump.bin"));
    ASSERT_EQ(read.exitCode, 0) << shown(read);
    EXPECT_EQ(readAll(file("dump.bin")).size(), 16384);
    EXPECT_EQ(read.out, "16384 bytes of memory 50 written to " + file("dump.bin") + "\n");
    EXPECT_EQ(run("eeprom|read|-o|" + file("dump.bin")).exitCode, 2) << "an existing file needs --yes";
    EXPECT_EQ(run("eeprom|erase").exitCode, 2) << "erasing needs --yes";
    const Outcome erase = run("--yes|eeprom|erase|--address|51");
    ASSERT_EQ(erase.exitCode, 0) << shown(erase);
    EXPECT_EQ(newMessages(2), QStringList({"0C 50 00 00 00 00", "0B 51 00 00 00"}));
    EXPECT_EQ(run("--yes|eeprom|erase|--address|5").exitCode, 2);
    EXPECT_TRUE(newMessages().isEmpty());
}

namespace {

TEST(CliCoeff, PrintsTheTableRowWithoutAPedal)
{
    QTemporaryDir dir;
    const Outcome o = vadrelon(dir.filePath("announce"), dir.path(), {"coeff", "D2"});
    ASSERT_EQ(o.exitCode, 0) << shown(o);
    EXPECT_EQ(o.out, "D2_6db_cut_Q11 : array[0..19] of string =\n('00', '7F', 'F5', 'EC', \n'FF', '00', '2B', '70', \n"
                     "'00', '7F', 'E1', 'AB', \n'00', 'FF', 'D4', '90', \n'FF', '80', '28', '6A');\n");
    EXPECT_EQ(vadrelon(dir.filePath("announce"), dir.path(), {"coeff", "C3", "--gain", "-20", "--q", "12"})
                  .out.split('\n')[0],
              "C3_20db_cut_Q12 : array[0..19] of string =");
    EXPECT_EQ(vadrelon(dir.filePath("announce"), dir.path(), {"coeff", "D2", "--q", "0"}).exitCode, 2);
    // A design the DSP's word cannot hold is a failure, not a table of wrapped numbers.
    const Outcome steep =
        vadrelon(dir.filePath("announce"), dir.path(), {"coeff", "A1", "--gain", "60", "--q", "0.001"});
    EXPECT_EQ(steep.exitCode, 1) << shown(steep);
    EXPECT_EQ(steep.out, "");
    EXPECT_TRUE(steep.err.startsWith("vadrelon: warning: b0 = ")) << shown(steep);
}

// The built command against a local HTTPS server, which answers while the command runs.
TEST(CliCheckUpdate, SaysWhetherTheServerHasANewerEditor)
{
    test::HttpsServer server;
    ASSERT_EQ(server.problem(), "");
    struct Case {
        const char *name;
        test::HttpsServer::Answer answer;
        int exitCode;
        const char *printed; // on stdout, or the start of stderr
    };
    const QString page = server.base().toString() + "/download/";
    const Case cases[] = {
        {"a newer release",
         {200, "OK", "1.16.0.0\n"},
         0,
         "Editor version: 1.15.0.0\nServer version: 1.16.0.0\nAn update is available: "},
        {"the same one",
         {200, "OK", "1.15"},
         0,
         "Editor version: 1.15.0.0\nServer version: 1.15\nNo update available.\n"},
        {"not found", {404, "Not Found", ""}, 1, "vadrelon: Error: Not Found (status 404"},
        {"garbage", {200, "OK", "<html>"}, 1, "vadrelon: The update server's answer is no version"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server.answer(updatepath::kEditorVersion, c.answer);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VADRELON_UPDATE_BASE_URL", server.base().toString());
        env.insert("VADRELON_UPDATE_CA_FILE", server.caFile());
        p.setProcessEnvironment(env);
        p.start(kBin + "/vadrelon", {"check-update"});
        ASSERT_TRUE(test::waitFor([&] { return p.state() == QProcess::NotRunning; }, 15000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), c.exitCode) << err.toStdString();
        EXPECT_TRUE((c.exitCode == 0 ? out : err).startsWith(c.printed)) << out.toStdString() << err.toStdString();
        if (c.exitCode == 0) {
            EXPECT_EQ(out.endsWith(page + "\n"), c.answer.body.startsWith("1.16"));
        }
    }
}

} // namespace
