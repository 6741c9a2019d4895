#pragma once
// One command of `vadrelon` carried out through the pedal session, as the windows do: each
// operation started from the result of the one before, so that the program never waits in
// place and every wait has its job's own bound (and the runner's bound over them all).
#include "base/error.h"
#include "cli/answers.h"
#include "cli/commandline.h"
#include "cli/inputs.h"
#include "cli/report.h"
#include "cli/terminal.h"
#include "content/contentstate.h"
#include "device/discovery.h"
#include "device/jobs.h"
#include "device/link.h"
#include "effect/parameters.h"
#include "session/pedalsession.h"
#include "support/updateserver.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace vadrelon::cli {

class CommandRunner : public QObject {
    Q_OBJECT
public:
    // Beyond the longest job (an algorithm image of 64 KiB on the line, then the pedal's answer
    // bound): should a job ever fail to end, the program still does.
    static constexpr int kOverallBoundMs = 60000;
    // A firmware upgrade: the erase's own bound, then the image twice over the line and back.
    static constexpr int kUpgradeBoundMs = 300000;

    // discover lists the ports a pedal may be on: the system's, or a test's own.
    CommandRunner(CommandLine line, PedalLink &link, Streams streams,
                  std::function<Discovered()> discover = discoverPorts, QObject *parent = nullptr);

    // Carries out the command; finished() comes once, with the program's exit status.
    void start();

signals:
    void finished(int exitCode);

private:
    void checkUpdate();
    void dispatch();
    // A session result: a failure ends the command, a success goes on to next.
    PedalSession::Done orFail(std::function<void()> next);
    template <typename T>
    PedalSession::Then<T> orFail(std::function<void(const T &)> next);
    PedalSession::Done answerWhenDone(Answer done);
    std::optional<Error> adoptSettings(const QByteArray &values);
    // set, store, preset save and preset load, once the pedal's settings are read.
    void actOnSettings();
    void assignControl();
    void answerPresetList(const std::optional<PresetValues> &live);
    void reportStatus(const QByteArray &values);
    void uploadTuningData();
    void upgradeFirmware();

    // The answer: its text, or with --json the object; then the end once every byte is out.
    // bytes: what goes to stdout instead of the answer (-o -).
    void answer(const Answer &reply, const QByteArray &bytes = {});
    void fail(const Error &error, int exitCode = kFailureExitCode, const Answer &partial = {});
    void finish(int exitCode);

    CommandLine line_;
    PedalLink &link_;
    Terminal terminal_;
    std::function<Discovered()> discover_;
    PedalSession session_;
    ContentState &content_ = session_.content;
    ParameterSet &parameters_ = session_.parameters;
    Inputs inputs_;
    PedalSession::Adopted adopted_; // the reply that set, assign, store and the presets act on
    bool finished_ = false;
    QTimer overallBound_;
    std::unique_ptr<UpdateServer> updateServer_;
};

} // namespace vadrelon::cli
