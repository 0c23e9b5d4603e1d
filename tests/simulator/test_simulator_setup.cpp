// Redirection of the dfu-util command table to the simulator script, and where that script is found.
#include "dfu/command.h"
#include "simulator/simulator.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

Q_DECLARE_METATYPE(DFU::CmdID)

namespace {

// A stand-in that records the arguments it receives, one per line, and fails a set-up.
const char stand_in[] = R"(#!/bin/sh
printf '%s\n' "$@" > "$(dirname "$0")/arguments.txt"
[ "$2" = setup_prepared_config ] && exit 3
exit 0
)";

QStringList split(QString const& text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestSimulatorSetup : public QObject {
    Q_OBJECT

    std::map<DFU::CmdID, DFU::Command> original_commands;

private slots:
    void initTestCase();
    void init();
    void rewrite_data();
    void rewrite();
    void build_folder_holds_the_script();
    void environment_names_another_folder();
    void stand_in_receives_the_arguments_data();
    void stand_in_receives_the_arguments();
};

void TestSimulatorSetup::initTestCase()
{
    original_commands = DFU::commands;
}

void TestSimulatorSetup::init()
{
    DFU::commands = original_commands;
    qunsetenv("VANTREL_SIMULATOR_DIR");
}

void TestSimulatorSetup::rewrite_data()
{
    QTest::addColumn<int>("setup");
    QTest::addColumn<int>("calls");
    QTest::newRow("normal") << int(simulator::normal) << 1;
    QTest::newRow("fast progress") << int(simulator::fast_progress) << 1;
    QTest::newRow("normal, called twice") << int(simulator::normal) << 2;
    QTest::newRow("fast progress, called twice") << int(simulator::fast_progress) << 2;
}

void TestSimulatorSetup::rewrite()
{
    QFETCH(int, setup);
    QFETCH(int, calls);
    const std::map<DFU::CmdID, QString> names = {
        {DFU::version, "version"},       {DFU::list, "list"},
        {DFU::upload_OTP, "upload_OTP"}, {DFU::upload_FW_info, "upload_FW"},
        {DFU::upload_FW, "upload_FW"},   {DFU::download_FW, "download_FW"},
        {DFU::setup_prepared_config, "setup_prepared_config"},
    };

    for (int i = 0; i < calls; ++i)
        simulator::setup_for_simulated_dfu_util(simulator::Setup(setup));

    QCOMPARE(DFU::commands.size(), names.size());
    for (auto const& [id, name] : names) {
        QStringList prefix{QStringLiteral("--dfu-util-command"), name};
        if (setup & simulator::fast_progress)
            prefix << QStringLiteral("--fast-progress");
        QStringList expected = original_commands[id].args;
        for (int i = 0; i < calls; ++i)
            expected = prefix + expected;
        QCOMPARE(DFU::commands[id].program, QStringLiteral(SIMULATOR_BUILD_DIR "/dfu-util_simulator.sh"));
        QCOMPARE(DFU::commands[id].args, expected);
    }
    QVERIFY(DFU::Command::path.isEmpty());
}

void TestSimulatorSetup::build_folder_holds_the_script()
{
    QCOMPARE(simulator::directory(), QStringLiteral(SIMULATOR_BUILD_DIR));
    const QFileInfo script(simulator::dfu_util_path(QStringLiteral("dfu-util_simulator.sh")));
    QVERIFY2(script.isFile() && script.isExecutable(), qPrintable(script.filePath()));
    // An empty override counts as none.
    qputenv("VANTREL_SIMULATOR_DIR", "");
    QCOMPARE(simulator::directory(), QStringLiteral(SIMULATOR_BUILD_DIR));
}

void TestSimulatorSetup::environment_names_another_folder()
{
    qputenv("VANTREL_SIMULATOR_DIR", "/some/other/folder");
    QCOMPARE(simulator::dfu_util_path(QStringLiteral("dfu-util_simulator.sh")),
             QStringLiteral("/some/other/folder/dfu-util_simulator.sh"));
    simulator::setup_for_simulated_dfu_util(simulator::normal);
    QCOMPARE(DFU::commands[DFU::list].program, QStringLiteral("/some/other/folder/dfu-util_simulator.sh"));
}

void TestSimulatorSetup::stand_in_receives_the_arguments_data()
{
    QTest::addColumn<DFU::CmdID>("command");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("received");
    QTest::addColumn<int>("exit_code");

    QTest::newRow("version") << DFU::version << QStringList() << "--dfu-util-command version -V" << 0;
    QTest::newRow("list") << DFU::list << QStringList() << "--dfu-util-command list -d 0483 -l" << 0;
    QTest::newRow("upload_OTP") << DFU::upload_OTP << QStringList{"/x/uploaded_OTP.bin"}
                                << "--dfu-util-command upload_OTP -d 0483 -a 2 -s 0x1FFF7800:512 -U "
                                   "/x/uploaded_OTP.bin" << 0;
    QTest::newRow("upload_FW_info") << DFU::upload_FW_info << QStringList{"/x/uploaded_FW_info.bin"}
                                    << "--dfu-util-command upload_FW -d 0483 -a 0 -s 0x08000000:2048 -U "
                                       "/x/uploaded_FW_info.bin" << 0;
    QTest::newRow("upload_FW") << DFU::upload_FW
                               << QStringList{"-s", "0x08000000:49152", "-U", "/x/uploaded_FW.bin"}
                               << "--dfu-util-command upload_FW -d 0483 -a 0 -s 0x08000000:49152 -U "
                                  "/x/uploaded_FW.bin" << 0;
    QTest::newRow("download_FW") << DFU::download_FW << QStringList{"/x/firmware.bin"}
                                 << "--dfu-util-command download_FW -d 0483 -a 0 -s 0x08000000:leave -D "
                                    "/x/firmware.bin" << 0;
    // The stand-in refuses every set-up; the script's exit code comes back.
    QTest::newRow("setup_prepared_config") << DFU::setup_prepared_config << QStringList{"two-devices"}
                                           << "--dfu-util-command setup_prepared_config two-devices" << 3;
}

void TestSimulatorSetup::stand_in_receives_the_arguments()
{
    QFETCH(DFU::CmdID, command);
    QFETCH(QStringList, extra);
    QFETCH(QString, received);
    QFETCH(int, exit_code);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile script(folder.filePath(QStringLiteral("dfu-util_simulator.sh")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(stand_in);
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    qputenv("VANTREL_SIMULATOR_DIR", folder.path().toLocal8Bit());

    simulator::setup_for_simulated_dfu_util(simulator::normal);
    if (command == DFU::setup_prepared_config)
        QCOMPARE(simulator::sim_setup_prepared_config(extra.first()), exit_code);
    else
        QCOMPARE(DFU::run_command(command, extra).exit_code, exit_code);

    QFile arguments(folder.filePath(QStringLiteral("arguments.txt")));
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(arguments.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts), split(received));
}

QTEST_GUILESS_MAIN(TestSimulatorSetup)
#include "test_simulator_setup.moc"
