// compare-bench: time and peak memory of comparing a read-back image with the carried one
// (DFU::compare_FW_bin_files) for an image of a given size, 1 MiB unless told otherwise.
//
//   compare-bench [--runs N] [--calls-per-run K] [--size-bytes B]
//
// Prints per run "compare_time_ns <ns per call>", "compare_peak_growth_kib <KiB>" (how far
// the resident set rose above what it was before the run; the peak is reset first) and
// "compare_peak_rss_kib <KiB>" (the whole process's peak during the run).
#include "dfu/operations.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

bool have_service_build()
{
    return false;
}

namespace {

constexpr int default_runs = 7;
constexpr int default_calls_per_run = 20;
constexpr int default_size_bytes = 1024 * 1024;

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long status_kib(char const* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (QByteArray const& line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    return -1;
}

// Lets the peak resident set (VmHWM) start again from the current one.
bool reset_peak_rss()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

bool write_file(QString const& path, QByteArray const& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int option(QStringList const& args, QString const& name, int fallback)
{
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int runs = option(args, QStringLiteral("--runs"), default_runs);
    const int calls = option(args, QStringLiteral("--calls-per-run"), default_calls_per_run);
    const int size = option(args, QStringLiteral("--size-bytes"), default_size_bytes);
    if (runs < 1 || calls < 1 || size < 1) {
        std::fputs("usage: compare-bench [--runs N] [--calls-per-run K] [--size-bytes B]\n", stderr);
        return 2;
    }

    QTemporaryDir dir;
    QByteArray image(size, Qt::Uninitialized);
    QRandomGenerator generator(11);
    for (char& byte : image)
        byte = char(generator.bounded(256));
    const QString carried = dir.filePath(QStringLiteral("firmware.bin"));
    const QString uploaded = dir.filePath(QStringLiteral("uploaded_FW.bin"));
    if (!dir.isValid() || !write_file(carried, image) || !write_file(uploaded, image)) {
        std::fputs("compare-bench: cannot write the images\n", stderr);
        return 1;
    }
    image.clear();
    image.squeeze();

    // One call first, so that the first run does not pay for first use alone.
    if (!DFU::compare_FW_bin_files(carried, uploaded)) {
        std::fputs("compare-bench: equal images compared as different\n", stderr);
        return 1;
    }
    for (int run = 0; run < runs; ++run) {
        const bool peak_reset = reset_peak_rss();
        const long before_kib = status_kib("VmRSS");
        QElapsedTimer timer;
        timer.start();
        bool all_equal = true;
        for (int call = 0; call < calls; ++call)
            all_equal = DFU::compare_FW_bin_files(carried, uploaded) && all_equal;
        const qint64 elapsed_ns = timer.nsecsElapsed();
        const long peak_kib = status_kib("VmHWM");
        if (!all_equal) {
            std::fputs("compare-bench: equal images compared as different\n", stderr);
            return 1;
        }
        std::printf("compare_time_ns %lld\n", static_cast<long long>(elapsed_ns / calls));
        if (peak_reset && before_kib >= 0 && peak_kib >= 0) {
            std::printf("compare_peak_growth_kib %ld\n", peak_kib - before_kib);
            std::printf("compare_peak_rss_kib %ld\n", peak_kib);
        }
    }
    return 0;
}
