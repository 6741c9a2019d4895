// The preset library window opened on a folder of 1000 presets in ten banks, each with a
// note: the time from triggering File → Preset Library to the list shown with every preset,
// over several openings of a fresh editor.
#include "benchsupport.h"
#include "content/preset.h"
#include "inprocessdriver.h"
#include "ui/editor.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

using namespace vadrelon;
using bench::NoPrompt;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int presets = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    QTemporaryDir docs;
    const QDir folder(docs.filePath(QStringLiteral("NEROV/Vadrelon MK3/Preset")));
    QJsonObject notes;
    for (int i = 0; i < presets; ++i) {
        const QString bank = QStringLiteral("Bank %1").arg(i % 10);
        folder.mkpath(bank);
        PresetValues values{};
        values[0] = static_cast<quint32>(i);
        QFile f(folder.filePath(QStringLiteral("%1/Preset %2.txt").arg(bank).arg(i)));
        if (!f.open(QIODevice::WriteOnly) || f.write(writePreset(values)) != 146)
            return 1;
        notes.insert(QStringLiteral("%1/Preset %2").arg(bank).arg(i), QStringLiteral("a note on preset %1").arg(i));
    }
    QFile n(folder.filePath(QStringLiteral("library.json")));
    if (!n.open(QIODevice::WriteOnly))
        return 1;
    n.write(QJsonDocument(QJsonObject{{QStringLiteral("notes"), notes}}).toJson());
    n.close();

    QList<qint64> times;
    sim::InProcessDriver driver;
    NoPrompt prompt;
    for (int r = 0; r < runs; ++r) {
        Editor editor(driver, prompt, docs.path());
        QElapsedTimer clock;
        clock.start();
        editor.mainWindow->findChild<QAction *>(QStringLiteral("menuPresetLibrary"))->trigger();
        QApplication::processEvents();
        QTreeWidget *list = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *found = top->findChild<QTreeWidget *>(QStringLiteral("lstLibrary")))
                list = found;
        int shown = 0;
        for (QTreeWidgetItemIterator it(list); *it; ++it)
            shown += (*it)->parent() ? 1 : 0;
        times << clock.elapsed();
        if (shown != presets) {
            std::printf("the list showed %d of %d presets\n", shown, presets);
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("%d presets in 10 banks, with notes: window opened to list shown in %lld ms (median of %d; "
                "fastest %lld, slowest %lld; goal: under 200 ms)\n",
                presets, times[times.size() / 2], runs, times.front(), times.back());
    return 0;
}
