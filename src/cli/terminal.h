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
};

class Terminal : public QObject {
    Q_OBJECT
public:
    Terminal(Streams streams, bool json, QObject *parent = nullptr);

    void answer(const Answer &reply);
    void complain(const Error &error);
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
