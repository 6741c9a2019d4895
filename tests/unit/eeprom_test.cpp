// The memory tools' input: exactly the digits a message field holds, nothing around them.
#include "device/eeprom.h"
#include "support/printers.h"

#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

TEST(EepromInput, TheAddressIsExactlyTwoHexDigits)
{
    struct Case {
        const char *address;
        const char *message; // nullptr: refused
    };
    const Case cases[] = {
        {"50", "0C5000000000"}, {"51", "0C5100000000"}, {"a0", "0CA000000000"}, {"5", nullptr}, {"500", nullptr},
        {"5G", nullptr},        {" 50", nullptr},       {"5\n", nullptr},       {"", nullptr},
    };
    for (const Case &c : cases) {
        const Result<QString> read = buildEepromReadMessage(c.address);
        if (c.message) {
            ASSERT_TRUE(std::holds_alternative<QString>(read)) << c.address;
            EXPECT_EQ(std::get<QString>(read), c.message);
        } else {
            EXPECT_TRUE(std::holds_alternative<Error>(read)) << "accepted \"" << c.address << '"';
            EXPECT_TRUE(std::holds_alternative<Error>(buildEepromEraseMessage(c.address))) << c.address;
        }
    }
}

// A final line break used to slip through the digit check, and the message it made could not
// be sent.
TEST(EepromInput, ARawSendIsExactlyFourAndEightHexDigits)
{
    struct Case {
        const char *address, *value;
        bool accepted;
    };
    const Case cases[] = {
        {"0000", "003FC000", true},   {"00ab", "ffffffff", true},   {"C00\n", "0C00C000", false},
        {"0000", "003FC00\n", false}, {"000", "003FC000", false},   {"0000", "003FC0000", false},
        {"00G0", "003FC000", false},  {"0000", "003F C000", false}, {"", "", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(std::holds_alternative<QString>(buildRawParameterMessage(c.address, c.value)), c.accepted)
            << '"' << c.address << "\" \"" << c.value << '"';
}

} // namespace
