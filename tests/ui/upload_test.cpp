#include "editorfixture.h"

#include "ui/editor.h"
#include "ui/mainwindow.h"

#include <QLabel>
#include <QResource>
#include <QTimer>

using namespace vadrelon;

class UploadSelected : public test::EditorFixture {
public:
    QString status() { return find<QLabel>("lblStatus")->text(); }
    bool checking() { return find<QTimer>("UploadCheckTimer")->isActive(); }
};

TEST_F(UploadSelected, ABuildWithoutTheImageSaysSoAndSendsNothing)
{
    linkAndClear();
    const QString before = status();
    prompt.answers = {true};
    click("btnUpload");
    EXPECT_EQ(prompt.messages,
              QStringList({"This editor carries no image of Vadrelon MK3 0012. Choose File → Load Effect From File "
                           "to upload one that the maker gave you."}))
        << "said before asking, and pointing to what works";
    EXPECT_TRUE(received(pedal).isEmpty()) << "not even the bypass";
    EXPECT_FALSE(editor->session.link().busy());
    EXPECT_FALSE(checking());
    EXPECT_EQ(status(), before) << "no upload was started";
}

TEST_F(UploadSelected, NoSendsNothing)
{
    linkAndClear();
    prompt.answers = {false};
    click("btnUpload");
    EXPECT_TRUE(received(pedal).isEmpty());
    EXPECT_FALSE(editor->session.link().busy());
}

class UploadWithImage : public UploadSelected {
public:
    UploadWithImage() { EXPECT_TRUE(QResource::registerResource(VADRELON_TEST_IMAGES_RCC)); }
    ~UploadWithImage() override { QResource::unregisterResource(VADRELON_TEST_IMAGES_RCC); }
};

TEST_F(UploadWithImage, TheImageGoesOutInOneWriteAfterThePedalWentQuietAndTheAnswerIsShown)
{
    timing.scale = 1.0; // the pause before the image is real time
    linkAndClear();
    prompt.answers = {true};
    click("btnUpload");
    EXPECT_EQ(status(), "Uploading...");
    EXPECT_TRUE(checking());
    ASSERT_TRUE(waitFor([&] { return pedal.received().size() >= 3 && !editor->session.link().busy(); }));
    const QList<sim::ReceivedMessage> got = pedal.received();
    EXPECT_EQ(got[0].bytes, QByteArray::fromHex("0D01"));
    EXPECT_EQ(got[1].bytes.size(), 4512);
    EXPECT_GE(got[1].msecsSinceEpoch - got[0].msecsSinceEpoch, 40) << "the pedal needs 40 ms after the bypass";
    EXPECT_EQ(got[2].bytes, QByteArray::fromHex("0200")) << "the versions are read again";
    EXPECT_EQ(status(), "Upload complete\r\n");
    for (const char *line : {"size: 4512", "num of bytes: 4512", "write to device", "received: Upload complete\r\n"})
        EXPECT_TRUE(logHas(line)) << line;
    EXPECT_FALSE(checking());
    EXPECT_EQ(prompt.messages, QStringList({"Upload the selected algorithm?"}));
}

// The pedal's answer is shown whatever it is; only "Upload complete" is a success, and only a
// success reads the versions again.
TEST_F(UploadWithImage, AnAnswerThatIsNotUploadCompleteIsAFailureThatShowsIt)
{
    linkAndClear();
    pedal.faults().uploadAnswer = "Checksum error!\r\n";
    prompt.answers = {true};
    click("btnUpload");
    ASSERT_TRUE(settle(5000));
    EXPECT_EQ(status(), "Checksum error!\r\n");
    EXPECT_FALSE(checking());
    EXPECT_EQ(prompt.messages, QStringList({"Upload the selected algorithm?",
                                            "The pedal answered \"Checksum error!\", not \"Upload complete\": it may "
                                            "not have taken the algorithm. Upload it again."}));
    EXPECT_EQ(received(pedal).size(), 2) << "the bypass and the image, and no status request";
}

TEST_F(UploadWithImage, ASilentPedalEndsTheWaitWithUploadFailed)
{
    linkAndClear();
    pedal.faults().silent = true;
    prompt.answers = {true};
    click("btnUpload");
    ASSERT_TRUE(settle(5000));
    EXPECT_EQ(status(), "Upload Failed");
    EXPECT_EQ(prompt.messages.last(),
              "The pedal did not answer the algorithm upload. Check that it is powered and linked, then try again.");
    EXPECT_FALSE(checking());
    EXPECT_TRUE(enabled("btnUpload"));
}

TEST_F(UploadWithImage, APedalThatStopsReadingEndsTheUploadWithOneMessage)
{
    linkAndClear();
    pedal.faults().stopReadingAfterMessages = 1; // it takes the bypass, then nothing more
    prompt.answers = {true};
    click("btnUpload");
    ASSERT_TRUE(settle(5000));
    EXPECT_EQ(prompt.messages, QStringList({"Upload the selected algorithm?",
                                            "The pedal stopped taking data (416 bytes not sent). Check the cable and "
                                            "link again."}));
    EXPECT_EQ(status(), "Upload Failed");
    EXPECT_FALSE(checking());
    EXPECT_TRUE(editor->session.link().isLinked());

    // The pedal reads the next request as more of the image: its silence is told as such.
    prompt.messages.clear();
    click("btnRequest");
    ASSERT_TRUE(settle(5000));
    EXPECT_EQ(prompt.messages,
              QStringList({"The pedal did not answer the status request. It may still be taking the image of an "
                           "upload that did not end (the algorithm upload was interrupted after 4096 of 4512 bytes; "
                           "the pedal may wait for the rest: upload again). Unplug the pedal, plug it in again, and "
                           "choose Connection → Link."}));
    // A new link does not make the pedal forget what it waits for.
    const QStringList told = prompt.messages;
    prompt.messages.clear();
    trigger("menuDisconnect");
    link();
    EXPECT_EQ(prompt.messages, told);
}

// Quitting half-way through an upload leaves the pedal waiting for the rest: the player is
// asked first, No being the answer when none is given, and told how the pedal is left.
TEST_F(UploadWithImage, ClosingTheWindowDuringAnUploadAsksFirst)
{
    linkAndClear();
    pedal.faults().silent = true; // the image goes out; its answer never comes
    prompt.answers = {true};
    click("btnUpload");
    ASSERT_TRUE(waitFor([&] { return pedal.received().size() >= 2; }));
    const QString question = "The pedal is busy. Quit anyway? If you quit now, the algorithm upload was interrupted "
                             "after all 4512 bytes, before the pedal confirmed it: upload again.";
    EXPECT_FALSE(w().close()) << "no answer is No";
    EXPECT_EQ(prompt.messages.last(), question);
    EXPECT_TRUE(editor->session.link().busy());
    prompt.answers = {true};
    EXPECT_TRUE(w().close());
    EXPECT_EQ(prompt.messages.last(), question);
    EXPECT_TRUE(logHas("quit during an exchange: the algorithm upload was interrupted after all 4512 bytes, before "
                       "the pedal confirmed it: upload again"));
}
