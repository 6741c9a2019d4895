#pragma once
// Points VADRELON_VIRTUAL_PEDALS_DIR at a folder (an empty one unsets it) for the lifetime
// of the object, and puts back what was there before.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace vadrelon::test {

class ScopedPedalsDir {
public:
    explicit ScopedPedalsDir(const QString &dir) : saved_(qgetenv(kName)), wasSet_(qEnvironmentVariableIsSet(kName))
    {
        if (dir.isEmpty())
            qunsetenv(kName);
        else
            qputenv(kName, QFile::encodeName(dir));
    }
    ~ScopedPedalsDir()
    {
        if (wasSet_)
            qputenv(kName, saved_);
        else
            qunsetenv(kName);
    }
    ScopedPedalsDir(const ScopedPedalsDir &) = delete;
    ScopedPedalsDir &operator=(const ScopedPedalsDir &) = delete;

private:
    static constexpr const char *kName = "VADRELON_VIRTUAL_PEDALS_DIR";
    QByteArray saved_;
    bool wasSet_;
};

} // namespace vadrelon::test
