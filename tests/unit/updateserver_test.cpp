// The update server's answers as they come over a real TLS connection from a local server:
// only a clean status 200 with a whole body is used, and a download is written only then.
#include "support/httpsserver.h"
#include "support/printers.h"
#include "support/updateserver.h"
#include "support/waitfor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vadrelon;
using vadrelon::test::HttpsServer;
using vadrelon::test::waitFor;

namespace {

constexpr int kShortBoundMs = 600;

class UpdateServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(server.problem(), "") << "the test's own server did not start"; }

    std::optional<Result<QVersionNumber>> fetchVersion(const QSslConfiguration &tls)
    {
        UpdateServer client(server.base(), tls);
        client.setBoundMs(kShortBoundMs);
        std::optional<Result<QVersionNumber>> got;
        client.fetchVersion(updatepath::kEditorVersion, [&](const Result<QVersionNumber> &r) { got = r; });
        EXPECT_TRUE(waitFor([&] { return got.has_value(); }, 5000)) << "no end within 5 s";
        return got;
    }

    std::optional<std::optional<Error>> download(const QString &file)
    {
        UpdateServer client(server.base(), server.clientTls());
        client.setBoundMs(kShortBoundMs);
        std::optional<std::optional<Error>> got;
        client.download(updatepath::kUpdater, file, [&](const std::optional<Error> &r) { got = r; });
        EXPECT_TRUE(waitFor([&] { return got.has_value(); }, 5000)) << "no end within 5 s";
        return got;
    }

    HttpsServer server;
};

struct VersionCase {
    const char *name;
    HttpsServer::Answer answer;
    const char *version; // nullptr: the check fails
    const char *said;    // a part of the failure's text
};

TEST_F(UpdateServerTest, TheVersionIsTakenOnlyFromACleanAnswer)
{
    const VersionCase cases[] = {
        {"a clean answer", {200, "OK", "1.16.0.0\r\n"}, "1.16.0.0", ""},
        {"not found", {404, "Not Found", "1.16.0.0"}, nullptr, "Error: Not Found (status 404"},
        {"a server error", {500, "Internal Server Error", "1.16.0.0"}, nullptr, "Error: Internal Server Error"},
        {"an answer past the bound", {200, "OK", "1.16.0.0", kShortBoundMs + 600}, nullptr, "did not answer within"},
        {"a garbage body", {200, "OK", "<html>oops</html>"}, nullptr, "no version: \"%3Chtml%3Eoops"},
        {"an empty body", {200, "OK", ""}, nullptr, "was empty"},
        {"a body that breaks off", {200, "OK", "1.16.0.0", 0, 3}, nullptr, "broke off"},
        {"a body far too long", {200, "OK", QByteArray(4096, '1')}, nullptr, "longer than 1024 bytes"},
    };
    for (const VersionCase &c : cases) {
        SCOPED_TRACE(c.name);
        server.answer(updatepath::kEditorVersion, c.answer);
        const auto got = fetchVersion(server.clientTls());
        ASSERT_TRUE(got);
        if (c.version) {
            ASSERT_TRUE(std::holds_alternative<QVersionNumber>(*got)) << errorText(std::get<Error>(*got)).toStdString();
            EXPECT_EQ(std::get<QVersionNumber>(*got), QVersionNumber::fromString(c.version));
        } else {
            ASSERT_TRUE(std::holds_alternative<Error>(*got));
            EXPECT_EQ(std::get<Error>(*got).code, ErrorCode::UpdateFailed);
            EXPECT_TRUE(std::get<Error>(*got).detail.contains(c.said)) << std::get<Error>(*got).detail.toStdString();
        }
    }
}

TEST_F(UpdateServerTest, AServerWhoseCertificateIsNotTrustedIsNotAsked)
{
    server.answer(updatepath::kEditorVersion, {200, "OK", "9.0"});
    const auto got = fetchVersion(QSslConfiguration::defaultConfiguration());
    ASSERT_TRUE(got && std::holds_alternative<Error>(*got));
    EXPECT_TRUE(std::get<Error>(*got).detail.startsWith("The update server could not be reached"))
        << std::get<Error>(*got).detail.toStdString();
    EXPECT_TRUE(server.requested.isEmpty()) << "the request went out over an untrusted connection";
}

TEST_F(UpdateServerTest, ADownloadIsWrittenWholeOrNotAtAll)
{
    const QByteArray program = QByteArray("MZ") + QByteArray(100000, 'x') + "end";
    struct Case {
        const char *name;
        HttpsServer::Answer answer;
        bool written;
    };
    const Case cases[] = {
        {"a clean answer", {200, "OK", program}, true},
        {"not found", {404, "Not Found", program}, false},
        {"an answer past the bound", {200, "OK", program, kShortBoundMs + 600}, false},
        {"a body that breaks off", {200, "OK", program, 0, 50000}, false},
        {"an empty body", {200, "OK", ""}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString file = folder.filePath("Vadrelon_Win_Updater_Update.exe");
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old updater") > 0);
        old.close();
        server.answer(updatepath::kUpdater, c.answer);

        const auto got = download(file);
        ASSERT_TRUE(got);
        EXPECT_EQ(!got->has_value(), c.written) << (got->has_value() ? errorText(**got).toStdString() : "");
        QFile after(file);
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), c.written ? program : QByteArray("old updater"));
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"Vadrelon_Win_Updater_Update.exe"})
            << "something besides the file was left in its folder";
    }
}

TEST(UpdateTls, AnExtraAuthorityComesFromAFileOfCertificatesOnly)
{
    QTemporaryDir folder;
    const QString notPem = folder.filePath("not.pem");
    QFile f(notPem);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("hello") > 0);
    f.close();
    EXPECT_TRUE(std::holds_alternative<Error>(updateTlsConfiguration(notPem)));
    EXPECT_TRUE(std::holds_alternative<Error>(updateTlsConfiguration(folder.filePath("missing.pem"))));
    const Result<QSslConfiguration> none = updateTlsConfiguration(QString());
    ASSERT_TRUE(std::holds_alternative<QSslConfiguration>(none));
    EXPECT_EQ(std::get<QSslConfiguration>(none).caCertificates(),
              QSslConfiguration::defaultConfiguration().caCertificates());
}

} // namespace
