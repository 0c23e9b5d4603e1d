// Build-time tool: writes the made-in-code seed inputs of every fuzz target, one folder per target.
#include "tests/fuzz/input_checks.h"
#include "tests/fuzz/seed_corpus.h"

#include <QDir>
#include <QFile>

#include <cstdio>

// make_fuzz_seeds OUT_DIR [CARRIED_IMAGE]
int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUT_DIR [CARRIED_IMAGE]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QByteArray image;
    if (argc == 3) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot read %s\n", argv[2]);
            return 1;
        }
        image = file.readAll();
    }
    for (QString const& target : FuzzChecks::target_names()) {
        const QString dir = out + QLatin1Char('/') + target;
        if (!QDir().mkpath(dir)) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot create %s\n", qPrintable(dir));
            return 1;
        }
        for (FuzzChecks::Seed const& seed : FuzzChecks::generated_seeds(target, image)) {
            QFile file(dir + QLatin1Char('/') + seed.name);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(seed.bytes) != seed.bytes.size()) {
                std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
        }
    }
    return 0;
}
