// The pedal's answers as the link's jobs read them: the status reply, the memory dump, the
// bootloader's greeting and the firmware upgrade's acknowledgements. The virtual pedal stays
// silent and the fuzzer's bytes stand for it, in pieces: the first byte picks the job, then
// each piece is a length byte and that many bytes, delivered one after another while the job
// runs. Every job must end, within its bounds, whatever arrives.
#include "device/jobs.h"
#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "device/eeprom.h"
#include "device/link.h"
#include "device/transport.h"
#include "firmware/upgradejob.h"
#include "inprocessdriver.h"
#include "virtualpedal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>
#include <memory>

using namespace vadrelon;

namespace {

Timing fastTiming()
{
    // Every bound and pause at a hundredth, the longest ones shortened further, so that an
    // input takes milliseconds.
    Timing t;
    t.scale = 0.01;
    t.uploadAnswerBoundMs = 2000;
    t.eraseBoundMs = 2000;
    return t;
}

// A small image that passes the firmware checks: a stack pointer in SRAM and an odd reset
// address inside it.
QByteArray smallImage()
{
    QByteArray image(600, '\0');
    const quint32 sp = 0x20004000, reset = 0x08000101;
    for (int i = 0; i < 4; ++i) {
        image[i] = char(sp >> (8 * i));
        image[4 + i] = char(reset >> (8 * i));
    }
    return image;
}

bool runUntilEnded(PedalLink &link, std::unique_ptr<Job> job, const QList<QByteArray> &pieces, sim::VirtualPedal &pedal)
{
    bool ended = false;
    job->whenFinished([&](const std::optional<Error> &) { ended = true; });
    if (!link.run(std::move(job)))
        return true;
    for (const QByteArray &piece : pieces) {
        QCoreApplication::processEvents();
        emit pedal.toHost(piece);
    }
    QElapsedTimer clock;
    clock.start();
    while (!ended && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return ended;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_jobs";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    if (size < 1)
        return 0;

    QList<QByteArray> pieces;
    for (size_t i = 1; i < size;) {
        const size_t length = std::min<size_t>(data[i], size - i - 1);
        pieces << QByteArray(reinterpret_cast<const char *>(data + i + 1), static_cast<qsizetype>(length));
        i += 1 + length;
    }

    sim::VirtualPedal pedal;
    sim::InProcessDriver driver;
    driver.attach(&pedal);
    ConsoleLog log;
    UsbTransport transport{driver};
    PedalLink link{transport, log, fastTiming()};
    const int which = data[0] % 4;
    if (which >= 2)
        pedal.startInBootloader();
    if (!runUntilEnded(link, std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), which >= 2), {}, pedal))
        std::abort();
    pedal.faults().silent = true;

    std::unique_ptr<Job> job;
    switch (which) {
    case 0:
        job = std::make_unique<StatusJob>();
        break;
    case 1:
        job = std::make_unique<EepromReadJob>(hexToBytes(QStringLiteral("0C5000000000")));
        break;
    case 2:
        job = std::make_unique<GreetBootloaderJob>();
        break;
    default:
        job = std::make_unique<FirmwareUpgradeJob>(smallImage(), 11);
        break;
    }
    // A job that never ends would hang the editor's window for good.
    if (!runUntilEnded(link, std::move(job), pieces, pedal))
        std::abort();
    return 0;
}
