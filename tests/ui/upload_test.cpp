#include "editorfixture.h"

#include "ui/editor.h"
#include "ui/fxsettingswindow.h"
#include "ui/mainwindow.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QResource>
#include <QTimer>

using namespace vadrelon;

class UploadSelected : public test::EditorFixture {
protected:
    void linkAndSelect()
    {
        start({&pedal});
        w().menuConnect->trigger();
        // The dials that the status moved send their last message through the send timer.
        ASSERT_TRUE(waitFor([&] { return !editor->formFXsettings->Timer1->isActive(); }));
        pedal.clearReceived();
        prompt.messages.clear();
    }
};

TEST_F(UploadSelected, ABuildWithoutTheImageSaysSoAndSendsNothing)
{
    linkAndSelect();
    prompt.answers = {true};
    w().btnUpload->click();
    EXPECT_EQ(prompt.messages, QStringList({"Upload the selected algorithm?",
                                            "Error loading resource: no resource named \"Vadrelon_MK3_0012\""}));
    EXPECT_TRUE(received(pedal).isEmpty()) << "not even the bypass";
    EXPECT_TRUE(w().Timer_USB_Read->isActive());
    EXPECT_FALSE(w().UploadCheckTimer->isActive());
    EXPECT_EQ(w().lblStatus->text(), "Status: ");
}

TEST_F(UploadSelected, NoSendsNothingAndKeepsReading)
{
    linkAndSelect();
    prompt.answers = {false};
    w().btnUpload->click();
    EXPECT_TRUE(received(pedal).isEmpty());
    EXPECT_TRUE(w().Timer_USB_Read->isActive());
}

class UploadWithImage : public UploadSelected {
protected:
    UploadWithImage() { EXPECT_TRUE(QResource::registerResource(VADRELON_TEST_IMAGES_RCC)); }
    ~UploadWithImage() override { QResource::unregisterResource(VADRELON_TEST_IMAGES_RCC); }
};

TEST_F(UploadWithImage, TheImageGoesOutInOneWriteAndTheAnswerIsShown)
{
    linkAndSelect();
    prompt.answers = {true};
    w().btnUpload->click();
    const QList<sim::ReceivedMessage> got = pedal.received();
    ASSERT_GE(got.size(), 3);
    EXPECT_EQ(got[0].bytes, QByteArray::fromHex("0D01"));
    EXPECT_EQ(got[1].bytes.size(), 4512);
    EXPECT_EQ(got[2].bytes, QByteArray::fromHex("0200")) << "the versions are read again";
    EXPECT_EQ(w().lblStatus->text(), "Upload complete\r\n");
    for (const char *line : {"size: 4512", "num of bytes: 4512", "write to device", "received: Upload complete\r\n"})
        EXPECT_TRUE(logHas(line)) << line;
    EXPECT_FALSE(w().UploadCheckTimer->isActive());
    EXPECT_TRUE(w().Timer_USB_Read->isActive());
    EXPECT_EQ(prompt.messages, QStringList({"Upload the selected algorithm?"}));
}

TEST_F(UploadWithImage, ASilentPedalEndsTheWaitWithUploadFailed)
{
    linkAndSelect();
    pedal.faults().silent = true;
    prompt.answers = {true};
    w().btnUpload->click();
    EXPECT_EQ(w().lblStatus->text(), "Upload Failed");
    EXPECT_FALSE(w().UploadCheckTimer->isActive());
    EXPECT_TRUE(w().Timer_USB_Read->isActive());
}
