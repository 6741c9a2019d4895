// The pedal session's operations over the in-process virtual pedal: each ends with exactly one
// result whatever the pedal does, and the session can go on afterwards. A result whose caller
// has gone is dropped.
#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "content/addressheader.h"
#include "effect/messages.h"
#include "inprocessdriver.h"
#include "session/pedalsession.h"
#include "support/printers.h"
#include "support/synthetic_images.h"
#include "support/waitfor.h"
#include "virtualpedal.h"

#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace vadrelon;

namespace {

// What an operation ended with: nothing for success, or the error's code.
using Outcome = std::optional<ErrorCode>;
using Report = std::function<void(Outcome)>;

PedalSession::Done reportDone(Report report)
{
    return [report](const std::optional<Error> &e) { report(e ? Outcome(e->code) : std::nullopt); };
}

template <typename T>
PedalSession::Then<T> reportThen(Report report)
{
    return [report](const Result<T> &r) {
        const Error *e = std::get_if<Error>(&r);
        report(e ? Outcome(e->code) : std::nullopt);
    };
}

struct Operation {
    const char *name;
    std::function<void(PedalSession &, QObject *, Report)> start;
};

const Operation kOperations[] = {
    {"read the status", [](PedalSession &s, QObject *c, Report r) { s.readStatus(c, reportThen<QByteArray>(r)); }},
    {"send a message",
     [](PedalSession &s, QObject *c, Report r) { s.sendMessage("0D00", 0, false, c, reportDone(r)); }},
    {"store the parameters", [](PedalSession &s, QObject *c, Report r) { s.storeParameters(c, reportDone(r)); }},
    {"load a preset",
     [](PedalSession &s, QObject *c, Report r) {
         PresetValues values = s.parameters.values();
         values[ParDry] ^= 0x100;
         s.loadPreset(values, c, reportThen<QList<ParameterChange>>(r));
     }},
    {"upload the tuning data",
     [](PedalSession &s, QObject *c, Report r) { s.uploadTuningData(c, reportThen<QByteArray>(r)); }},
    {"upload an algorithm",
     [](PedalSession &s, QObject *c, Report r) {
         s.uploadAlgorithm(UploadJob::fromFile(MakeAlgorithmImage(0x0012), hexToBytes(buildBypassMessage(true))), c,
                           reportThen<QString>(r));
     }},
    {"read the settings memory",
     [](PedalSession &s, QObject *c, Report r) { s.readMemory("50", c, reportThen<QByteArray>(r)); }},
    {"erase the settings memory", [](PedalSession &s, QObject *c, Report r) { s.eraseMemory("50", c, reportDone(r)); }},
    {"find the firmware or its bootloader",
     [](PedalSession &s, QObject *c, Report r) { s.findFirmwareOrBootloader(c, reportThen<PedalSession::Found>(r)); }},
};

class Session : public ::testing::Test {
public:
    void SetUp() override
    {
        link.setTiming(Timing{0.1});
        driver.attach(&pedal);
        ASSERT_TRUE(link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false)));
        ASSERT_TRUE(test::waitFor([this] { return !link.busy(); }));
        ASSERT_EQ(link.state(), LinkState::Linked);
        const AddressHeader header = addressHeaderFor(QStringLiteral("Vadrelon MK3 0012"), QStringList());
        ASSERT_EQ(readParameterAddresses(session.parameters, header.line), std::nullopt);
    }
    // Starts the operation; then waits for its result and on a while, to see it come only once.
    void runToEnd(const Operation &op, int waitMs = 6000)
    {
        op.start(session, &caller, [this](Outcome o) {
            ++results;
            outcome = o;
        });
        test::waitFor([this] { return results > 0 && !link.busy(); }, waitMs);
        QTest::qWait(300);
    }
    // The session goes on: a status request gets the pedal's answer.
    bool goesOn()
    {
        int n = 0;
        Outcome o = ErrorCode::Busy;
        session.readStatus(&caller, reportThen<QByteArray>([&](Outcome got) {
            ++n;
            o = got;
        }));
        return test::waitFor([&] { return n == 1; }) && !o;
    }

    sim::VirtualPedal pedal;
    sim::InProcessDriver driver;
    ConsoleLog log;
    UsbTransport transport{driver};
    PedalLink link{transport, log};
    PedalSession session{link};
    QObject caller;
    int results = 0;
    Outcome outcome;
};

struct Fault {
    const char *name;
    std::function<void(Session &)> apply;
    // The outcome of each operation, in the order of kOperations.
    std::vector<Outcome> outcomes;
    bool goesOn = true;
};

void PrintTo(const Fault &f, std::ostream *os)
{
    *os << f.name;
}

} // namespace

class SessionFaults : public Session, public ::testing::WithParamInterface<Fault> {};

TEST_P(SessionFaults, EveryOperationEndsWithOneResult)
{
    const Fault &fault = GetParam();
    for (const Operation &op : kOperations) {
        SCOPED_TRACE(op.name);
        const size_t i = static_cast<size_t>(&op - kOperations);
        results = 0;
        outcome.reset();
        fault.apply(*this);
        runToEnd(op);
        EXPECT_EQ(results, 1);
        EXPECT_EQ(outcome, fault.outcomes[i]);
        pedal.faults() = {};
        if (fault.goesOn) {
            EXPECT_TRUE(goesOn());
        }
    }
}

namespace {

constexpr Outcome ok = std::nullopt;
constexpr Outcome silent = ErrorCode::NoAnswer;

// A job that holds the link: a status request to a pedal that does not answer.
void holdTheLink(Session &s)
{
    s.pedal.faults().silent = true;
    ASSERT_TRUE(s.link.run(std::make_unique<StatusJob>()));
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Faults, SessionFaults,
    ::testing::Values(Fault{"the pedal answers", [](Session &) {}, {ok, ok, ok, ok, ok, ok, ok, ok, ok}},
                      // Messages go out whether or not the pedal answers; what waits for an answer fails.
                      Fault{"a silent pedal",
                            [](Session &s) { s.pedal.faults().silent = true; },
                            {silent, ok, ok, ok, silent, silent, silent, ok, silent}},
                      Fault{"a garbled status reply",
                            [](Session &s) { s.pedal.faults().garbleReply = true; },
                            {ErrorCode::GarbledReply, ok, ok, ok, ErrorCode::GarbledReply, ok, ok, ok,
                             ErrorCode::GarbledReply}},
                      Fault{"another exchange running", holdTheLink,
                            std::vector<Outcome>(std::size(kOperations), Outcome(ErrorCode::Busy))},
                      Fault{"no link", [](Session &s) { s.link.unlink(); },
                            std::vector<Outcome>(std::size(kOperations), Outcome(ErrorCode::NotLinked)), false}),
    [](const ::testing::TestParamInfo<Fault> &info) {
        std::string name;
        for (const char c : std::string(info.param.name))
            if (std::isalnum(static_cast<unsigned char>(c)))
                name += c;
        return name;
    });

TEST_F(Session, AnUnpluggedPedalEndsEachOperationOnce)
{
    for (const Operation &op : kOperations) {
        SCOPED_TRACE(op.name);
        results = 0;
        driver.detach(&pedal);
        runToEnd(op);
        EXPECT_EQ(results, 1);
        EXPECT_TRUE(outcome.has_value());
        driver.attach(&pedal);
        link.unlink();
        ASSERT_TRUE(link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false)));
        ASSERT_TRUE(test::waitFor([this] { return !link.busy(); }));
        EXPECT_TRUE(goesOn());
    }
}

// A window closed while its exchange runs: the result is dropped, and the session goes on.
TEST_F(Session, AResultWhoseCallerHasGoneIsDropped)
{
    for (const Operation &op : kOperations) {
        SCOPED_TRACE(op.name);
        int n = 0;
        int whileThere = 0;
        {
            QObject gone;
            op.start(session, &gone, [&](Outcome) { ++n; });
            whileThere = n; // a message without a pause is out before the call returns
        }
        ASSERT_TRUE(test::waitFor([this] { return !link.busy(); }));
        QTest::qWait(200);
        EXPECT_EQ(n, whileThere);
        EXPECT_TRUE(goesOn());
    }
}

// What the pedal holds after a preset: the set's values are the preset's once it took them,
// and only what differed went out.
TEST_F(Session, ALoadedPresetIsWhatThePedalAndTheSetHold)
{
    PresetValues values = session.parameters.values();
    values[ParDry] = 0x00400000;
    values[ParSplit] = 1;
    QList<ParameterChange> changes;
    session.loadPreset(values, &caller, [&](const Result<QList<ParameterChange>> &r) {
        ASSERT_TRUE(std::holds_alternative<QList<ParameterChange>>(r));
        changes = std::get<QList<ParameterChange>>(r);
    });
    ASSERT_TRUE(test::waitFor([&] { return !changes.isEmpty(); }));
    EXPECT_EQ(changes.size(), 2);
    EXPECT_EQ(session.parameters.values(), values);
    EXPECT_EQ(pedal.state().parameters[ParDry], 0x00400000u);
    EXPECT_EQ(pedal.state().parameters[ParSplit], 1u);
}

// The live values follow every change the pedal took, the stored ones what was stored or
// loaded, and what the pedal took is the session's even when the window that asked has gone.
TEST_F(Session, LiveAndStoredValuesFollowWhatThePedalTook)
{
    const PresetValues read = session.parameters.values();
    session.stored = session.live = read;
    ASSERT_TRUE(session.setLive(ParDry, 0x00200000, PedalSession::Pace::Knob));
    EXPECT_EQ(session.live[ParDry], 0x00200000u);
    EXPECT_EQ(session.stored, read);
    ASSERT_TRUE(test::waitFor([this] { return pedal.state().parameters[ParDry] == 0x00200000u; }));

    session.readStatus(&caller, [](const Result<QByteArray> &) {});
    EXPECT_FALSE(session.setLive(ParDry, 0x00300000)) << "never between a job's bytes";
    EXPECT_EQ(session.parameters.Dry.value, 0x00200000u);
    ASSERT_TRUE(test::waitFor([this] { return !link.busy(); }));

    {
        QObject gone;
        session.storeParameters(&gone, [](const std::optional<Error> &) {});
    }
    ASSERT_TRUE(test::waitFor([this] { return !link.busy(); }));
    EXPECT_EQ(session.stored, session.live);

    PresetValues preset = read;
    preset[ParSubMix] ^= 0x100;
    {
        QObject gone;
        session.loadPreset(preset, &gone, [](const Result<QList<ParameterChange>> &) {});
    }
    ASSERT_TRUE(test::waitFor([this] { return !link.busy(); }));
    EXPECT_EQ(session.parameters.values(), preset);
    EXPECT_EQ(session.live, preset);
    EXPECT_EQ(session.stored, preset);
}

// The bootloader's flows: a pedal waiting there is found there; a running one is sent there and
// upgraded; an image that cannot start is refused before anything reaches the pedal.
TEST_F(Session, APedalIsFoundInItsBootloaderSentThereAndUpgraded)
{
    std::optional<Result<PedalSession::Found>> found;
    session.findFirmwareOrBootloader(&caller, [&](const Result<PedalSession::Found> &r) { found = r; });
    ASSERT_TRUE(test::waitFor([&] { return found.has_value(); }));
    ASSERT_TRUE(std::holds_alternative<PedalSession::Found>(*found));
    EXPECT_FALSE(std::get<PedalSession::Found>(*found).inBootloader);
    EXPECT_EQ(std::get<PedalSession::Found>(*found).status.size(), kStatusValueCount);

    pedal.clearReceived();
    std::optional<Error> refused;
    session.upgradeFirmware(QByteArray(100, '\xFF'), 12, {}, &caller, [&](const std::optional<Error> &e) {
        refused = e.value_or(Error{ErrorCode::Busy, {}});
    });
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->code, ErrorCode::BadFirmwareImage);
    EXPECT_TRUE(pedal.received().isEmpty());

    std::optional<Result<bool>> entered;
    session.enterBootloader(&caller, [&](const Result<bool> &r) { entered = r; });
    ASSERT_TRUE(test::waitFor([&] { return entered.has_value(); }));
    ASSERT_TRUE(std::holds_alternative<bool>(*entered));
    EXPECT_TRUE(std::get<bool>(*entered));
    EXPECT_EQ(link.state(), LinkState::Bootloader);

    const QByteArray image = MakeFirmwareImage(12, 3000);
    int ends = 0;
    std::optional<Error> upgraded;
    session.upgradeFirmware(image, 12, {}, &caller, [&](const std::optional<Error> &e) {
        ++ends;
        upgraded = e;
    });
    ASSERT_TRUE(test::waitFor([&] { return ends > 0; }, 20000));
    EXPECT_EQ(upgraded, std::nullopt);
    EXPECT_EQ(pedal.flash().left(image.size()), image);
    QTest::qWait(200);
    EXPECT_EQ(ends, 1);
}

TEST_F(Session, APedalWaitingInItsBootloaderIsFoundThere)
{
    link.unlink();
    pedal.startInBootloader();
    ASSERT_TRUE(link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false)));
    ASSERT_TRUE(test::waitFor([this] { return !link.busy(); }));
    std::optional<Result<PedalSession::Found>> found;
    session.findFirmwareOrBootloader(&caller, [&](const Result<PedalSession::Found> &r) { found = r; });
    ASSERT_TRUE(test::waitFor([&] { return found.has_value(); }));
    ASSERT_TRUE(std::holds_alternative<PedalSession::Found>(*found));
    EXPECT_TRUE(std::get<PedalSession::Found>(*found).inBootloader);
    EXPECT_EQ(link.state(), LinkState::Bootloader);
}
