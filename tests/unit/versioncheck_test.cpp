#include "support/printers.h"
#include "support/versioncheck.h"

#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

// Removing the points and reading a number, as the old check did, says 2.0.0.0 (2000) is
// older than 1.15.0.0 (11500). Part by part it is newer.
TEST(VersionCheck, ComparesPartByPartWithMissingPartsAsZero)
{
    struct Case {
        const char *server, *own;
        bool newer;
    };
    const Case cases[] = {
        {"1.15.0.0", "1.15.0.0", false}, {"1.16.0.0", "1.15.0.0", true}, {"2.0.0.0", "1.15.0.0", true},
        {"1.16", "1.15.0.0", true},      {"1.15", "1.15.0.0", false},    {"1.15.0.1", "1.15", true},
        {"1.15.0.0", "1.15", false},     {"1.9.9.9", "1.15.0.0", false}, {"1.14.99", "1.15.0.0", false},
        {"0.9", "1.0", false},
    };
    for (const Case &c : cases) {
        const std::optional<QVersionNumber> server = parseEditorVersion(c.server);
        ASSERT_TRUE(server) << c.server;
        EXPECT_EQ(isNewerVersion(*server, *parseEditorVersion(c.own)), c.newer) << c.server << " against " << c.own;
    }
}

TEST(VersionCheck, TakesOnlyAVersionFromTheServer)
{
    for (const char *good : {"1.16.0.0", "2", "1.16\r\n", " 1.2 "})
        EXPECT_TRUE(parseEditorVersion(good)) << good;
    for (const char *bad : {"", "v1.16", "1..2", "1.2.3.4.5", "1.16-beta", "<html>", "1,16", "-1.0", ".1"})
        EXPECT_FALSE(parseEditorVersion(bad)) << bad;
    EXPECT_FALSE(parseEditorVersion(QByteArray(100, '1'))) << "a body far too long for a version";
}

TEST(VersionCheck, TheServerIsReachedOnlyOverHttps)
{
    EXPECT_EQ(std::get<QUrl>(updateBaseUrl({})), QUrl("https://updates.nerov.example"));
    EXPECT_EQ(std::get<QUrl>(updateBaseUrl("https://mirror.example.org/nerov")),
              QUrl("https://mirror.example.org/nerov"));
    for (const char *bad :
         {"http://updates.nerov.example", "ftp://x", "file:///tmp/x", "updates.nerov.example", "https://", "not a url"})
        EXPECT_TRUE(std::holds_alternative<Error>(updateBaseUrl(bad))) << bad;
}

} // namespace
