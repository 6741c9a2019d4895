#pragma once
// What the measurements share: a prompt that answers nothing, the process's processor time.
#include "base/prompt.h"

#include <sys/resource.h>

namespace vadrelon::bench {

class NoPrompt : public Prompt {
public:
    void message(const QString &) override {}
    bool askYesNo(const QString &) override { return false; }
    std::optional<int> askNumber(const QString &, int, int) override { return std::nullopt; }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> askText(const QString &, const QString &) override { return std::nullopt; }
    QStringList openFileNames(const QString &, const QString &, const QString &) override { return {}; }
    QString folderName(const QString &, const QString &) override { return {}; }
};

inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace vadrelon::bench
