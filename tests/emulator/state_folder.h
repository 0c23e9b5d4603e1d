// The state folder: what the emulated device keeps between processes, and its log.
//
// Every dfu-util run is a new process, and tests look at the device from outside, so
// the device lives in files: flash.bin, otp.bin, option_bytes.bin, device_feature.bin,
// serial, attached ("yes"/"no"), faults, reattach_after_ms, reattach_flash.bin,
// second_device ("yes"/"no") and log (one line per erase, write, read, plug, leave…).
#pragma once

#include "faults.h"
#include "memory_region.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Emulator {

constexpr char default_serial[] = "3276365A3235";

class StateFolder {
public:
    // An empty path keeps nothing: every read gives the defaults, writes are dropped.
    explicit StateFolder(QString path);

    QString path() const { return path_; }
    bool persistent() const { return !path_.isEmpty(); }
    // Creates the folder; a new folder holds an attached, factory-fresh device.
    bool ensure_created() const;

    // The region's contents, cut or padded with its fill byte to its size.
    QByteArray load_memory(MemoryRegion const& region) const;
    void store_memory(MemoryRegion const& region, QByteArray const& contents) const;
    void store_memory_range(MemoryRegion const& region, std::uint32_t offset, QByteArray const& bytes) const;

    QString serial() const;
    void set_serial(QString const& serial) const;
    bool attached() const;
    void set_attached(bool attached) const;
    Faults faults() const;
    void set_faults(Faults const& faults) const;
    // Delay after which a device that left or vanished is attached again; -1: never.
    int reattach_after_ms() const;
    void set_reattach_after_ms(int ms) const;
    // Flash contents the device has when it is attached again (empty: unchanged).
    QByteArray reattach_flash() const;
    void set_reattach_flash(QByteArray const& contents) const;
    bool second_device() const;
    void set_second_device(bool present) const;

    void append_log(QString const& line) const;
    QStringList log() const;
    // The log lines that start with `prefix`, in order.
    QStringList log_lines_starting(QString const& prefix) const;

private:
    QString file(QString const& name) const;
    QByteArray read(QString const& name) const;
    bool exists(QString const& name) const;
    void write(QString const& name, QByteArray const& bytes) const;
    void remove(QString const& name) const;

    QString path_;
};

} // namespace Emulator
