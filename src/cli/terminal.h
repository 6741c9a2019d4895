#pragma once
// Where `vadrelon` writes: the answer on stdout (text, or one line of JSON), a complaint on
// stderr, and, for a person watching, a progress line that the next line replaces.
#include "base/error.h"
#include "cli/answers.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

namespace vadrelon::cli {

// The program's stdout and stderr, or a buffer in tests.
struct Streams {
    std::function<void(const QString &)> out;
    std::function<void(const QString &)> err;
    // Progress of long work is shown only to a person watching.
    bool errIsTerminal = false;
    // Bytes on stdout as they are (a memory dump to -).
    std::function<void(const QByteArray &)> data;
};

// The stable word a script reads for a failure ("no-answer"); a refused command line is
// "usage" and an interrupted command "interrupted".
QString errorCodeWord(ErrorCode code);
// {"error":{"code":…,"message":…}} and what else is known, on one line.
QString errorJson(const QString &code, const QString &message, const QJsonObject &also = {});

class Terminal : public QObject {
    Q_OBJECT
public:
    Terminal(Streams streams, bool json, QObject *parent = nullptr);

    void answer(const Answer &reply);
    // Bytes asked for on stdout (-o -) in place of an answer.
    void data(const QByteArray &bytes);
    // The failure's one line on stderr; with --json its object on stdout too. partial: what
    // the command could still tell before it failed.
    // lead: a sentence that goes before the error's own.
    void complain(const Error &error, const Answer &partial = {}, const QString &lead = {});
    // A trace line, as --trace shows it.
    void trace(const QString &line);
    // "<what> 1.2 s", counting, until the progress ends.
    void startClock(const QString &what);
    // One line of progress in place of the last.
    void progress(const QString &text);
    void endProgress();

private:
    Streams streams_;
    bool json_;
    bool shown_ = false;
    QTimer tick_;
    QString what_;
    QElapsedTimer clock_;
};

} // namespace vadrelon::cli
