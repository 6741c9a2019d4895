#include "base/consolelog.h"
#include "content/contentstate.h"
#include "content/options.h"
#include "support/printers.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

// A build without the maker's images still selects an effect whose address header ships; one
// with neither gets the image's loading error back, for the window to show.
TEST(ContentOptions, SelectingAnEffectWithoutItsImage)
{
    if (QFile::exists(":/images/VADRELON_MK3_0012.hex"))
        GTEST_SKIP() << "this build carries the 0012 image";
    struct Case {
        const char *effect;
        std::optional<Error> error;
    };
    const Case cases[] = {
        {"Vadrelon MK3 0012", std::nullopt},
        {"Vadrelon MK3 9999", Error{ErrorCode::ResourceMissing, "no resource named \"Vadrelon_MK3_9999\""}},
    };
    for (const Case &c : cases) {
        ContentState content;
        content.resourceLines = QStringList{"Vadrelon MK3 0012"};
        ConsoleLog log;
        EXPECT_EQ(selectEffect(content, c.effect, log), c.error) << c.effect;
        EXPECT_EQ(content.selectedEffectName, c.effect);
        EXPECT_EQ(content.resourceLines, QStringList{"Vadrelon MK3 0012"})
            << c.effect << ": only an image replaces them";
    }
}

} // namespace
