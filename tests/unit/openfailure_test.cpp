// A failed open told as its cause, from the driver's word for it to the sentence shown.
#include "base/consolelog.h"
#include "device/jobs.h"
#include "inprocessdriver.h"
#include "support/printers.h"

#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

// No pedal is attached, so every open fails; the cause is whatever the test says it is.
class DriverThatKnowsWhy : public sim::InProcessDriver {
public:
    OpenFailure failure;
    OpenFailure lastOpenFailure() const override { return failure; }
};

TEST(OpenJobFailure, NamesTheCauseAndKeepsTheDriversWordsOnlyWhenItIsUnknown)
{
    using Cause = OpenFailure::Cause;
    struct Case {
        Cause cause;
        ErrorCode code;
        QStringList said; // parts of the sentence shown
    };
    const Case cases[] = {
        {Cause::Unknown, ErrorCode::OpenFailed, {"Open_USB_Device_By_Serial_Number - Device not found..."}},
        {Cause::Gone, ErrorCode::PortGone, {"The pedal is no longer connected."}},
        {Cause::InUse, ErrorCode::PortInUse, {"The pedal's port /dev/ttyUSB0 is in use by another program."}},
        {Cause::PermissionDenied,
         ErrorCode::PermissionDenied,
         {"/dev/ttyUSB0 (permission denied)", "dialout", "udev rule that gives the user at the computer access",
          "the README's section \"The pedal without root\""}},
        {Cause::NotASerialPort, ErrorCode::NotASerialPort, {"/dev/ttyUSB0 is no serial port"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.cause));
        DriverThatKnowsWhy driver;
        driver.failure = {c.cause, QStringLiteral("/dev/ttyUSB0")};
        UsbTransport transport(driver);
        ConsoleLog log;
        PedalLink link(transport, log);
        std::optional<Error> error;
        auto job = std::make_unique<OpenJob>(QStringLiteral("VP000001"), false);
        job->whenFinished([&](const std::optional<Error> &e) { error = e; });
        ASSERT_TRUE(link.run(std::move(job)));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, c.code);
        const QString text = errorText(*error);
        for (const QString &part : c.said)
            EXPECT_TRUE(text.contains(part)) << text.toStdString();
        EXPECT_FALSE(link.isLinked());
    }
}

} // namespace
