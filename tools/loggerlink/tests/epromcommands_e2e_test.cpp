// loggerlink's eprom-export, boot and vars against the loggersim binary on a pseudo-terminal: a compiled
// example is loaded first, the image is read back by srec_cat and compared with what the simulator
// holds (the loaded image and the EPROM contents it was given), and faults end each command with its
// message, its exit code and no image file.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class LoggerlinkEprom : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QProcess sim;
    QString device;
    QByteArray rom;

    void SetUp() override {
        // A recognisable EPROM image for the simulator's upper memory.
        for (int i = 0; i < 0x4000; ++i) {
            rom += char((i * 13 + (i >> 7)) & 0xFF);
        }
        QFile romFile(dir.filePath("rom.bin"));
        ASSERT_TRUE(romFile.open(QIODevice::WriteOnly));
        romFile.write(rom);
        romFile.close();
        QFile ini(dir.filePath("orrery.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Program]\nVersion=414\n[Compile]\nConfirmConnect=1\nCreateSymFile=1\nCreateBinFile=1\n");
        ini.close();
        QFile::copy(QStringLiteral(ORRERY_SOURCE_DIR "/examples/sampler.qob"), dir.filePath("sampler.qob"));
    }

    void TearDown() override {
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            if (!sim.waitForFinished(5000)) {
                sim.kill();
                sim.waitForFinished(5000);
            }
        }
    }

    void startSimulator(const QStringList& extra) {
        device = dir.filePath("logger");
        sim.start(QStringLiteral(LOGGERSIM_PATH),
                  QStringList{"--link", device, "--model", "510", "--rom", dir.filePath("rom.bin")} + extra);
        ASSERT_TRUE(sim.waitForStarted(10000));
        // The simulator names its device on its first line once it serves.
        while (!sim.canReadLine()) {
            ASSERT_TRUE(sim.waitForReadyRead(10000)) << sim.readAllStandardError().toStdString();
        }
        ASSERT_TRUE(QFileInfo::exists(device));
    }

    Result loggerlink(const QStringList& arguments) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORRERY_SETTINGS", dir.filePath("orrery.ini"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(LOGGERLINK_PATH), QStringList{"--port", device} + arguments);
        EXPECT_TRUE(p.waitForFinished(120000));
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }

    void loadExample() {
        const Result load = loggerlink({"load", dir.filePath("sampler.qob")});
        ASSERT_EQ(load.exitCode, 0) << load.err.toStdString();
    }

    // srec_cat's reading of an image file, laid out by address.
    QByteArray readBack(const QString& hex) {
        QProcess p;
        p.start(QStringLiteral("srec_cat"), {hex, "-Intel", "-o", dir.filePath("readback.bin"), "-Binary"});
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return readFile(dir.filePath("readback.bin"));
    }
};

TEST_F(LoggerlinkEprom, ExportsTheLoadedExampleAndTheEprom) {
    startSimulator({});
    loadExample();
    const QByteArray program = readFile(dir.filePath("sampler.bin"));
    ASSERT_GT(program.size(), 14);

    const Result exported = loggerlink({"eprom-export", "-o", "image.hex"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    const int bytes = int(program.size()) + 0x4000;  // the program and upper memory
    EXPECT_EQ(exported.out, "Exported the EPROM image (" + QByteArray::number(bytes / 1000) + " " +
                                QByteArray::number(bytes % 1000).rightJustified(3, '0') + " bytes) into " +
                                dir.filePath("image.hex").toUtf8() + "\n")
        << "one success line";
    const QByteArray image = readBack(dir.filePath("image.hex"));
    ASSERT_EQ(image.size(), 0x10000);
    EXPECT_EQ(image.mid(0x0140, program.size()), program) << "a program at 0x8140 is written at 0x0140";
    // The simulator shows its model byte at 0xFFE8 over the EPROM contents (51 for model 510).
    QByteArray upper = rom;
    upper[0xFFE8 - 0xC000] = char(51);
    EXPECT_EQ(image.mid(0xC000), upper);

    // An existing image is kept unless --force says otherwise.
    const Result refused = loggerlink({"eprom-export", "-o", "image.hex"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("--force"));
    const Result forced = loggerlink({"eprom-export", "-o", "image.hex", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_EQ(readBack(dir.filePath("image.hex")), image);
}

TEST_F(LoggerlinkEprom, ReadsTheVariablesOfTheLoadedExample) {
    startSimulator({});
    loadExample();
    const Result json = loggerlink({"vars", dir.filePath("sampler.sym"), "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    EXPECT_EQ(json.err, QByteArray()) << "the symbol file matches the loaded program";
    const QJsonArray records = QJsonDocument::fromJson(json.out).array();
    ASSERT_FALSE(records.isEmpty()) << json.out.toStdString();
    QStringList names;
    for (const QJsonValue& r : records) {
        const QJsonObject o = r.toObject();
        names << o["name"].toString();
        EXPECT_TRUE(o["address"].isDouble());
        EXPECT_FALSE(o["value"].isNull()) << o["name"].toString().toStdString();
        EXPECT_FALSE(o["type"].toString().isEmpty());
    }
    EXPECT_TRUE(names.contains("N"));
    EXPECT_TRUE(names.contains("V!"));

    const Result table = loggerlink({"vars", dir.filePath("sampler.sym"), "N", "V", "--dec", "--scientific"});
    ASSERT_EQ(table.exitCode, 0) << table.err.toStdString();
    const QList<QByteArray> lines = table.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << table.out.toStdString();
    EXPECT_TRUE(lines[0].contains("Address (dec)"));
    EXPECT_TRUE(lines[0].contains("Data (floats in scientific format)"));
    EXPECT_TRUE(lines[1].startsWith("N ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("V! ")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains("E+") || lines[2].contains("E-")) << lines[2].toStdString();

    const Result unknown = loggerlink({"vars", dir.filePath("sampler.sym"), "NOSUCH"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("NOSUCH"));
}

TEST_F(LoggerlinkEprom, FaultsEndTheCommandWithItsMessageAndNoImage) {
    struct Case {
        QStringList simulator;
        QStringList command;
        int exitCode;
        QByteArray message;
    };
    const Case cases[] = {
        {{"--silent-after", "300"}, {"eprom-export", "-o", "cut.hex"}, 1, "Error communicating with Brackwater"},
        {{"--eprom-refuse"}, {"eprom-export", "-o", "cut.hex"}, 1, "refused"},
        {{"--silent-after", "0"}, {"eprom-export", "-o", "cut.hex"}, 1, "Brackwater not responding"},
        {{"--silent-after", "0"}, {"vars", "sampler.sym"}, 1, "Error communicating with Brackwater"},
    };
    {
        // The symbol file of the example, for the viewer's case.
        startSimulator({});
        loadExample();
        TearDown();
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.simulator.join(' ').toStdString() + " " + c.command.join(' ').toStdString());
        startSimulator(c.simulator);
        const Result r = loggerlink(c.command);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList({"cut*"}, QDir::Files), QStringList());
        TearDown();
    }
}

TEST_F(LoggerlinkEprom, BootSendsItsByte) {
    startSimulator({"--trace", dir.filePath("trace.txt")});
    const Result r = loggerlink({"boot"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    TearDown();
    EXPECT_TRUE(readFile(dir.filePath("trace.txt")).contains("rx 02")) << readFile(dir.filePath("trace.txt")).toStdString();
}

}  // namespace
