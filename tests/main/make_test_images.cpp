// Writes the synthetic images that tests register as resources at run time, so that the
// editor can be tested with an algorithm image although the build carries none.
#include "support/synthetic_images.h"

#include <QDir>
#include <QFile>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/images");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/VADRELON_MK3_0012.hex"));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(vadrelon::AlgorithmImageHex(vadrelon::MakeAlgorithmImage(0x0012)).toLatin1());
    return 0;
}
