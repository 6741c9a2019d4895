#pragma once
// The pedal session: what the pedal holds, as far as the editor knows it, and every flow of
// several exchanges, written once for the windows and the `vadrelon` command. Each operation
// ends with exactly one result, given to its continuation. A continuation belongs to a
// context object: when the context is gone by the time the pedal has answered (a window
// closed), the result is dropped instead of reaching a dead object.
#include "base/error.h"
#include "content/contentstate.h"
#include "device/jobs.h"
#include "device/link.h"
#include "device/status.h"
#include "effect/parameters.h"
#include "effect/pedalstatus.h"
#include "firmware/upgradejob.h"
#include "session/pedalrules.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace vadrelon {

// The tuning table's upload as one job, named so that cutting it off half-way is told: the
// bypass, then the table. It leaves the pedal bypassed.
std::unique_ptr<SendJob> tuningDataUploadJob();

class PedalSession : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const std::optional<Error> &)>;
    template <typename T>
    using Then = std::function<void(const Result<T> &)>;

    explicit PedalSession(PedalLink &link, QObject *parent = nullptr);

    PedalLink &link() const { return link_; }
    ConsoleLog &log() const { return link_.log(); }

    // What the pedal holds, and what the editor made of its last reply.
    DeviceState device;
    ContentState content;
    ParameterSet parameters;
    EffectState effect;
    // The effects the editor knows, in the pedal's numbering.
    QStringList catalogue;
    // The sixteen values as the pedal holds them live, as far as the editor knows (the last
    // reply or preset, then every live change since), and as they were last read from the
    // pedal, stored on it, or saved to or loaded from a preset.
    PresetValues live{};
    PresetValues stored{};

    // The live values were stored or saved as they are.
    void markStored();

    // A player's change, sent live: never between a job's bytes, so false, with nothing sent
    // or recorded, while a job runs (the console says so). A knob's messages are paced (at
    // most one a period, its last position); anything else goes at once. The value becomes
    // the parameter's, and the pedal's live value once sent; a parameter whose address is not
    // known is recorded and not sent.
    enum class Pace { AtOnce, Knob };
    // True, and the console says so, while a job runs.
    bool refuseLive() const;
    bool setLive(int parameter, quint32 value, Pace pace = Pace::AtOnce);
    bool setBypass(bool on);
    // The pedal taken to these values (as a reply reports them) live: every one that differs
    // goes out at once, in block order, after any knob message still waiting. False, with
    // nothing sent, while a job runs or a value has no address to go to.
    bool setLiveValues(const PresetValues &values);

    // Compare: the pedal plays the stored values while the edited ones wait, then gets the
    // edited ones back. Nothing else changes: what was edited stays edited. A job, a stored
    // set of parameters or a preset load ends a comparison first. False, with nothing sent,
    // while a job runs or, to start one, while nothing differs.
    bool setComparing(bool on);
    bool comparing() const { return comparing_; }
    // The values being edited: the live ones, or while comparing, those waiting.
    const PresetValues &edited() const { return comparing_ ? edited_ : live; }

    // The catalogue and the newest algorithm version it names, read from the editor's own
    // resources.
    std::optional<Error> loadCatalogue();
    // The effect in the catalogue's row, selected: its image is the text resource loaded.
    std::optional<Error> selectEffect(int row);
    // The selected effect's parameter addresses, read from its image. Without them no
    // parameter message can go out, and the error says why: AddressesUnreadable while no
    // addresses are known, else what is wrong with the image; the addresses read before stay.
    std::optional<Error> readAddresses();

    // A whole status reply taken in, as every front end takes it: the versions judged and
    // traced; when the algorithm is current or outdated, the effect it names selected; when it
    // is current, that effect's addresses read and the pedal's settings put into the state. A
    // reply that cannot be trusted changes nothing.
    struct Adopted {
        StatusSummary summary;
        VersionVerdict verdict = VersionVerdict::Current;
        quint32 latestAlgorithm = 0;    // the newest the editor carries
        std::optional<Error> selection; // why the effect's image could not be loaded
        std::optional<Error> addresses; // why the parameters cannot be edited, when they cannot
        StatusView view;                // of a current pedal
    };
    Result<Adopted> adoptStatus(const QByteArray &values);
    // Why nothing may be stored or sent on the strength of a reply taken in: versions that
    // are not current, an effect or addresses that could not be read, or too few values.
    static std::optional<Error> refuseUnusable(const Adopted &adopted);

    // Runs one job. done comes once: at once with Busy or NotLinked when the job cannot
    // start, else when it ends, unless context has gone by then.
    void run(std::unique_ptr<Job> job, QObject *context, Done done);

    // The pedal's status reply, whole: its values.
    void readStatus(QObject *context, Then<QByteArray> done);
    // One message and the pause the pedal needs after it (a purge of the transmit queue
    // first when asked).
    void sendMessage(const QString &text, int pauseMs, bool purgeFirst, QObject *context, Done done);
    // The option commands. Each traces its message as the console shows it, and the state
    // follows only once the pedal has taken the message. A MIDI item is "OMNI" or "1" to "16".
    void setTuning(int tuningIndex, int semitoneShift, QObject *context, Done done);
    void setInstrument(bool guitar, QObject *context, Done done);
    void setMidiChannel(const QString &item, QObject *context, Done done);
    void setBypassStorage(bool store, QObject *context, Done done);
    void setTrackingLimit(bool on, QObject *context, Done done);
    // A message the effect window built (assignments, footswitch mode), with its trace.
    void sendTraced(const TracedMessage &message, int pauseMs, QObject *context, Done done);
    // The six assignable parameters stored on the pedal, as the set holds them.
    void storeParameters(QObject *context, Done done);
    // Takes the pedal to a preset's values: only what differs goes out, at once, and the set
    // then holds the preset's values. A knob message still waiting is older than the preset
    // and is dropped. The changes that went out are the result.
    void loadPreset(const PresetValues &values, QObject *context, Then<QList<ParameterChange>> done);
    // The tuning table, which leaves the pedal bypassed; then its status, read again, is the
    // result.
    void uploadTuningData(QObject *context, Then<QByteArray> done);
    // An algorithm image; the result is the pedal's answer, which must say it took it.
    void uploadAlgorithm(std::unique_ptr<UploadJob> job, QObject *context, Then<QString> done);
    // The settings memory at an I2C address ("50"): its dump, or erased.
    void readMemory(const QString &address, QObject *context, Then<QByteArray> done);
    void eraseMemory(const QString &address, QObject *context, Done done);

    // What answers on a new link: the running firmware's status reply, or, when the pedal is
    // silent or answers as a bootloader does (an upgrade that stopped half-way leaves it
    // there), its bootloader, greeted. A pedal whose bootloader does not answer either ends
    // with the status request's own failure.
    struct Found {
        QByteArray status; // the firmware's reply, whole
        bool inBootloader = false;
    };
    void findFirmwareOrBootloader(QObject *context, Then<Found> done);
    // The running firmware sent into its bootloader and greeted there: whether it answered.
    void enterBootloader(QObject *context, Then<bool> done);
    // The pedal in its bootloader however it was found: already there, or sent there by a
    // firmware recent enough to be asked. Nothing is asked of the player on the way, so this
    // is the command line's path; the window asks for SHIFT first.
    void reachBootloader(QObject *context, Done done);
    // A firmware image installed through the bootloader and read back whole, recorded as
    // version (1 to 255) and started. An image that cannot start is refused before anything
    // is erased.
    void upgradeFirmware(const QByteArray &image, int version, FirmwareUpgradeJob::ProgressCallback progress,
                         QObject *context, Done done);

signals:
    // The live or the stored values changed.
    void valuesChanged();
    void comparingChanged(bool on);
    // A status reply brought values other than those the editor knew the pedal to hold: they
    // were changed outside the editor.
    void changedOutside();

private:
    void adoptValues(const PresetValues &values);
    void endComparing();
    bool sendValues(const PresetValues &values);

    PedalLink &link_;
    bool comparing_ = false;
    PresetValues edited_{};
};

} // namespace vadrelon
