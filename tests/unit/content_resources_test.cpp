#include "content/addressheader.h"
#include "content/resources.h"
#include "support/printers.h"
#include "support/synthetic_images.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

const QString kDocumentedHeader0012 =
    QStringLiteral("0011A0002500ED00A5007B000200CF00E300A600EE00520066005C000A007800EC001B000C0006");

TEST(ContentCatalogue, HoldsOneEffectAndNamesVersion12)
{
    EXPECT_EQ(findResource(QLatin1String(kCatalogueResourceName)),
              Result<QByteArray>(QByteArray("Vadrelon MK3 0012\r\n")));

    const Result<QStringList> lines = loadResourceLines(QLatin1String(kCatalogueResourceName));
    ASSERT_EQ(lines, Result<QStringList>(QStringList{"Vadrelon MK3 0012"}));
    const QString first = std::get<QStringList>(lines).first();
    EXPECT_EQ(latestAlgorithmVersionFrom(first), Result<quint32>(12u));
    // Names keep their case; the lookup ignores it.
    EXPECT_EQ(resourceNameFor(first).toStdString(), "Vadrelon_MK3_0012");
}

TEST(ContentResources, EmbeddedNamesIgnoreCase)
{
    for (const char *name : {"octave", "OCTAVE", "Octave", "oCtAvE"}) {
        const Result<QByteArray> found = findResource(QLatin1String(name));
        ASSERT_TRUE(std::holds_alternative<QByteArray>(found)) << name;
        EXPECT_TRUE(std::get<QByteArray>(found).startsWith("Vadrelon MK3 0012")) << name;
    }
}

// The lookup rules on a folder of our own, since the build carries no product images.
TEST(ContentResources, LookupFindsImagesWithOrWithoutExtension)
{
    QTemporaryDir catalogue, images;
    ASSERT_TRUE(catalogue.isValid() && images.isValid());
    const auto write = [](const QTemporaryDir &dir, const char *file, const QByteArray &content) {
        QFile f(dir.filePath(QLatin1String(file)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    };
    write(catalogue, "OCTAVE", "catalogue");
    write(images, "VADRELON_MK3_0012.hex", "hex image");
    write(images, "FIRMWARE_5.bin", "firmware 5");
    write(images, "FIRMWARE_11.bin", "firmware 11");
    write(images, "OCTAVE.hex", "shadowed by the catalogue");
    const QStringList folders{catalogue.path(), images.path()};

    struct Case {
        const char *name;
        const char *content; // nullptr: not found
    };
    const Case cases[] = {
        {"VADRELON_MK3_0012", "hex image"},
        {"vadrelon_mk3_0012", "hex image"},
        {"VADRELON_MK3_0012.HEX", "hex image"},
        {"Firmware_5", "firmware 5"},
        {"FIRMWARE_11", "firmware 11"},
        {"octave", "catalogue"}, // the first folder wins
        {"Firmware_1", nullptr}, // a prefix is not a name
        {"VADRELON_MK3", nullptr},
        {"FIRMWARE_5.hex", nullptr}, // the extension must match the file's
        {"VADRELON_MK3_0012.hex.hex", nullptr},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        const Result<QByteArray> expected =
            c.content ? Result<QByteArray>(QByteArray(c.content))
                      : Error{ErrorCode::ResourceMissing, QStringLiteral("no resource named \"%1\"").arg(c.name)};
        EXPECT_EQ(findResourceIn(folders, QLatin1String(c.name)), expected) << c.name;
    }
}

TEST(ContentResources, MissingResourceGivesReasonNotLines)
{
    const Result<QStringList> lines = loadResourceLines("VADRELON_MK3_0099");
    ASSERT_TRUE(std::holds_alternative<Error>(lines));
    EXPECT_EQ(std::get<Error>(lines), (Error{ErrorCode::ResourceMissing, "no resource named \"VADRELON_MK3_0099\""}));
    EXPECT_EQ(errorText(std::get<Error>(lines)), "Error loading resource: no resource named \"VADRELON_MK3_0099\"");

    // An upload before any effect was chosen asks for the empty name.
    EXPECT_EQ(loadResourceLines(resourceNameFor("")),
              Result<QStringList>(Error{ErrorCode::ResourceMissing, "no resource named \"\""}));
    // Headers are not images: the shipped header must not pass for the 0012 image.
    if (!QFile::exists(":/images/VADRELON_MK3_0012.hex")) {
        EXPECT_TRUE(std::holds_alternative<Error>(findResource("VADRELON_MK3_0012")));
    }
}

TEST(ContentResources, splitResourceLines)
{
    struct Case {
        QByteArray bytes;
        QStringList lines;
    };
    const Case cases[] = {
        {"Vadrelon MK3 0012\r\n", {"Vadrelon MK3 0012"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"0011A000250", {"0011A000250"}},
        {"", {}},
        {"\r\n", {""}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(splitResourceLines(c.bytes), c.lines) << c.bytes.toStdString();
}

TEST(ContentResources, resourceNameFor)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Vadrelon MK3 0012", "Vadrelon_MK3_0012"},
        {"Octave X-Up+1", "Octave_mult_Upplus1"},
        {"Octave x-Up+1", "Octave_x_Upplus1"},
        {"XX++--  ", "multmultplusplus____"},
        {"", ""},
    };
    for (const auto &[effect, resource] : cases)
        EXPECT_EQ(resourceNameFor(effect).toStdString(), resource);
}

TEST(ContentResources, latestAlgorithmVersionFrom)
{
    const std::pair<const char *, quint32> good[] = {
        {"Vadrelon MK3 0012", 12},      {"Vadrelon MK3 0009", 9},
        {"Vadrelon MK3 0013 beta", 13}, // only characters 13 to 17 count
        {"Vadrelon MK3   12", 12},      {"Vadrelon MK3 10000", 1000},
    };
    for (const auto &[entry, version] : good) {
        EXPECT_EQ(latestAlgorithmVersionFrom(entry), Result<quint32>(version)) << entry;
    }
    const char *bad[] = {"",
                         "Vadrelon MK3 001",
                         "Vadrelon MK3 00x2",
                         "Vadrelon MK3      ",
                         "Vadrelon MK3 -012",
                         "Vadrelon MK3 +012",
                         "Vadrelon MK3 0 12"};
    for (const char *entry : bad) {
        const Result<quint32> v = latestAlgorithmVersionFrom(entry);
        ASSERT_TRUE(std::holds_alternative<Error>(v)) << entry;
        const Error &error = std::get<Error>(v);
        EXPECT_EQ(error.code, ErrorCode::BadCatalogue) << entry;
        EXPECT_TRUE(error.detail.contains(QLatin1String(entry))) << error.detail.toStdString();
        EXPECT_TRUE(errorText(error).startsWith("The effect catalogue is damaged: catalogue entry "))
            << errorText(error).toStdString();
    }
}

TEST(ContentAddressHeader, ShippedHeaderIsTheDocumentedOne)
{
    QFile shipped(":/headers/VADRELON_MK3_0012");
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(shipped.readAll()), kDocumentedHeader0012);
    // The synthetic image of 0012 begins the same way, so tests built on it see real addresses.
    EXPECT_EQ(AlgorithmImageHex(MakeAlgorithmImage(0x0012)).left(kAddressHeaderChars), kDocumentedHeader0012);
}

TEST(ContentAddressHeader, SourceChoice)
{
    std::array<quint16, 18> otherHeader{};
    otherHeader.fill(0x0011);
    const QString image11 = AlgorithmImageHex(MakeAlgorithmImage(0x0011, otherHeader, 4544));
    const QString image12 = AlgorithmImageHex(MakeAlgorithmImage(0x0012));
    const QString garbled = QString(image11).replace(40, 1, QLatin1Char('G'));

    struct Case {
        const char *what;
        QString effect;
        QStringList lines;
        AddressSource source;
        QString line;
    };
    const Case cases[] = {
        {"loaded image wins", "Vadrelon MK3 0012", {image11}, AddressSource::LoadedImage, image11.left(78)},
        {"image without shipped header", "Vadrelon MK3 0011", {image11}, AddressSource::LoadedImage, image11.left(78)},
        {"lines still hold the catalogue",
         "Vadrelon MK3 0012",
         {"Vadrelon MK3 0012"},
         AddressSource::ShippedHeader,
         kDocumentedHeader0012},
        {"nothing loaded", "Vadrelon MK3 0012", {}, AddressSource::ShippedHeader, kDocumentedHeader0012},
        {"header names ignore case", "vadrelon mk3 0012", {}, AddressSource::ShippedHeader, kDocumentedHeader0012},
        {"image cut short",
         "Vadrelon MK3 0012",
         {image12.left(77)},
         AddressSource::ShippedHeader,
         kDocumentedHeader0012},
        {"not hex", "Vadrelon MK3 0012", {garbled}, AddressSource::ShippedHeader, kDocumentedHeader0012},
        {"no header ships for 0011", "Vadrelon MK3 0011", {"Vadrelon MK3 0012"}, AddressSource::None, {}},
        {"no effect", "", {}, AddressSource::None, {}},
    };
    for (const Case &c : cases) {
        const AddressHeader h = addressHeaderFor(c.effect, c.lines);
        EXPECT_EQ(h.source, c.source) << c.what;
        EXPECT_EQ(h.line, c.line) << c.what;
        EXPECT_EQ(h.reason.isEmpty(), c.source != AddressSource::None) << c.what;
    }
    EXPECT_EQ(addressHeaderFor("", QStringList{}).reason, "no effect selected");
    EXPECT_TRUE(addressHeaderFor("Vadrelon MK3 0011", QString()).reason.contains("Vadrelon MK3 0011"));
}

} // namespace
