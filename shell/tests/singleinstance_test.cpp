// One workbench per user: the hand-over of files from a second start, in process and across two real
// processes, and recovery from a socket left by a crash.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "singleinstance.h"

using namespace orrery;

namespace {

QStringList waitForFiles(QSignalSpy& spy, int count, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (spy.count() < count && t.elapsed() < ms) {
        spy.wait(100);
    }
    QStringList out;
    for (const auto& args : spy) {
        out << args.at(0).toString();
    }
    return out;
}

TEST(SingleInstance, MessageLayout) {
    const struct {
        quint32 id;
        QByteArray payload;
        QByteArray expected;
    } cases[] = {
        {101, QByteArray("abc\0", 4), QByteArray("\0\0\0\x65\0\0\0\x04" "abc\0", 12)},
        {101, QByteArray("\0", 1), QByteArray("\0\0\0\x65\0\0\0\x01\0", 9)},
        {7, QByteArray(), QByteArray("\0\0\0\x07\0\0\0\0", 8)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SingleInstance::encodeMessage(c.id, c.payload), c.expected);
    }
}

TEST(SingleInstance, AStartWithoutFilesStillReachesTheRunningOne) {
    QTemporaryDir dir;
    SingleInstance first(dir.filePath("sock"));
    ASSERT_TRUE(first.listen());
    QSignalSpy activated(&first, &SingleInstance::activated);
    QSignalSpy received(&first, &SingleInstance::fileReceived);
    SingleInstance second(first.serverName());
    EXPECT_TRUE(second.handOver({}));
    EXPECT_TRUE(activated.count() > 0 || activated.wait(2000));
    EXPECT_EQ(received.count(), 0);
}

TEST(SingleInstance, NobodyRunningMeansNoHandOver) {
    QTemporaryDir dir;
    SingleInstance second(dir.filePath("sock"));
    EXPECT_FALSE(second.handOver({"/x.qob"}, 200));
}

TEST(SingleInstance, FilesArriveInOrderAndOtherMessagesAreIgnored) {
    QTemporaryDir dir;
    SingleInstance first(dir.filePath("sock"));
    ASSERT_TRUE(first.listen()) << first.errorString().toStdString();
    QSignalSpy received(&first, &SingleInstance::fileReceived);

    QLocalSocket raw;
    raw.connectToServer(first.serverName());
    ASSERT_TRUE(raw.waitForConnected(1000));
    QByteArray stream = SingleInstance::encodeMessage(5, "ignored\0") +
                        SingleInstance::encodeMessage(101, QByteArray("/a/one.qob\0", 11)) +
                        SingleInstance::encodeMessage(101, QByteArray("/b/tw\xc3\xb6.qob\0junk", 18));
    // Delivered in two pieces split inside a header, as a socket may.
    raw.write(stream.left(13));
    raw.flush();
    QCoreApplication::processEvents();
    raw.write(stream.mid(13));
    raw.flush();
    EXPECT_EQ(waitForFiles(received, 2), (QStringList{"/a/one.qob", QString::fromUtf8("/b/tw\xc3\xb6.qob")}));
}

TEST(SingleInstance, OversizedMessageDropsTheConnectionOnly) {
    QTemporaryDir dir;
    SingleInstance first(dir.filePath("sock"));
    ASSERT_TRUE(first.listen());
    QSignalSpy received(&first, &SingleInstance::fileReceived);
    QLocalSocket raw;
    raw.connectToServer(first.serverName());
    ASSERT_TRUE(raw.waitForConnected(1000));
    raw.write(QByteArray("\0\0\0\x65\x7f\xff\xff\xff", 8));
    raw.flush();
    QSignalSpy gone(&raw, &QLocalSocket::disconnected);
    EXPECT_TRUE(gone.wait(2000));
    SingleInstance second(first.serverName());
    EXPECT_TRUE(second.handOver({"/still/works.qob"}));
    EXPECT_EQ(waitForFiles(received, 1), QStringList{"/still/works.qob"});
}

TEST(SingleInstance, SocketLeftByACrashDoesNotBlockTheNextStart) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sock");
    // A bound socket file whose owner is gone, as a crashed instance leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    qstrncpy(addr.sun_path, QFile::encodeName(path).constData(), sizeof addr.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(path));

    SingleInstance second(path);
    EXPECT_FALSE(second.handOver({"/x.qob"}, 300)) << "a dead socket is not a running instance";
    SingleInstance first(path);
    ASSERT_TRUE(first.listen()) << first.errorString().toStdString();
    QSignalSpy received(&first, &SingleInstance::fileReceived);
    EXPECT_TRUE(second.handOver({"/y.qob"}));
    EXPECT_EQ(waitForFiles(received, 1), QStringList{"/y.qob"});

    SingleInstance third(path);
    EXPECT_FALSE(third.listen()) << "a live instance is never displaced";
}

TEST(SingleInstance, SecondProcessHandsOverCanonicalPathsAndLeavesThePortAlone) {
    QTemporaryDir dir;
    SingleInstance first(dir.filePath("sock"));
    ASSERT_TRUE(first.listen());
    QSignalSpy received(&first, &SingleInstance::fileReceived);
    for (const char* name : {"one.qob", "two.qob"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QDir().mkpath(dir.filePath("sub"));

    int master = -1;
    int slave = -1;
    char ptyName[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, ptyName, nullptr, nullptr), 0);
    QFile settings(dir.filePath("orrery.ini"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
    settings.close();

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORRERY_INSTANCE", first.serverName());
    env.insert("ORRERY_SETTINGS", settings.fileName());
    env.insert("ORRERY_COM1", QString::fromLocal8Bit(ptyName));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(dir.filePath("sub"));
    second.start(ORRERY_BINARY_DIR "/shell/orrery", {"../one.qob", dir.filePath("sub/../two.qob")});
    ASSERT_TRUE(second.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    while (second.state() != QProcess::NotRunning && t.elapsed() < 10000) {
        received.wait(50);
    }
    ASSERT_EQ(second.state(), QProcess::NotRunning) << "the second instance ends by itself";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(waitForFiles(received, 2), (QStringList{dir.filePath("one.qob"), dir.filePath("two.qob")}));

    pollfd pfd{master, POLLIN, 0};
    EXPECT_EQ(::poll(&pfd, 1, 200), 0) << "nothing was sent on the logger's line";
    ::close(master);
    ::close(slave);
}

// --- where the socket lives ---------------------------------------------------------------------------

// Points the runtime folder and the temporary folder into a private test folder for one test.
class SocketPlace : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(runtime()));
        ASSERT_TRUE(QDir().mkpath(temp()));
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "ORRERY_INSTANCE"}) {
            saved.insert(name, qgetenv(name));
        }
        qputenv("XDG_RUNTIME_DIR", runtime().toLocal8Bit());
        qputenv("TMPDIR", temp().toLocal8Bit());
        qputenv("ORRERY_INSTANCE", "orrery-test");
    }
    void TearDown() override {
        for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
            if (it.value().isNull()) {
                qunsetenv(it.key().constData());
            } else {
                qputenv(it.key().constData(), it.value());
            }
        }
    }
    QString runtime() const { return dir.filePath("run"); }
    QString temp() const { return dir.filePath("tmp"); }
    // The path a bare instance name used to mean: a name in the shared temporary folder.
    QString oldPath() const { return temp() + "/orrery-test"; }

    QTemporaryDir dir;
    QMap<QByteArray, QByteArray> saved;
};

enum class Occupant { Nothing, RegularFile, Folder, StaleSocket };

void place(Occupant occupant, const QString& path) {
    switch (occupant) {
        case Occupant::Nothing:
            break;
        case Occupant::RegularFile: {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("someone's data");
            break;
        }
        case Occupant::Folder:
            ASSERT_TRUE(QDir().mkpath(path + "/inside"));
            break;
        case Occupant::StaleSocket: {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            ASSERT_GE(fd, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            qstrncpy(addr.sun_path, QFile::encodeName(path).constData(), sizeof addr.sun_path);
            ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
            ::close(fd);
            break;
        }
    }
}

bool stillThere(Occupant occupant, const QString& path) {
    const QFileInfo info(path);
    switch (occupant) {
        case Occupant::RegularFile: {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) && f.readAll() == "someone's data";
        }
        case Occupant::Folder:
            return info.isDir() && QFileInfo::exists(path + "/inside");
        default:
            return true;
    }
}

TEST_F(SocketPlace, TheSocketIsInThePrivateRuntimeFolder) {
    SingleInstance first;
    EXPECT_EQ(first.serverName(), runtime() + "/orrery-test");
    qunsetenv("ORRERY_INSTANCE");
    EXPECT_EQ(SingleInstance::defaultName(), runtime() + "/orrery-workbench");
    // A runtime folder open to others is not used; a private folder of this user's in the temporary
    // folder is made instead.
    QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                         QFile::WriteOther | QFile::ExeOther);
    const QString own = temp() + QString("/orrery-%1").arg(::getuid());
    EXPECT_EQ(SingleInstance::defaultName(), own + "/orrery-workbench");
    EXPECT_EQ(QFileInfo(own).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup |
                                               QFile::WriteGroup), QFile::Permissions());
    // A folder of that name that others can use is refused, and nothing is put into it.
    QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::WriteOther);
    QString error;
    EXPECT_EQ(SingleInstance::defaultName(&error), QString());
    EXPECT_FALSE(error.isEmpty());
    SingleInstance refused;
    EXPECT_FALSE(refused.listen());
    EXPECT_FALSE(refused.handOver({"/x.qob"}, 100));
}

TEST_F(SocketPlace, NothingButAStaleSocketIsRemovedAndFilesStillReachTheFirstStart) {
    const struct {
        Occupant atOldPath;
        Occupant atSocketPath;
    } cases[] = {
        {Occupant::RegularFile, Occupant::Nothing},     {Occupant::Folder, Occupant::Nothing},
        {Occupant::StaleSocket, Occupant::Nothing},     {Occupant::Nothing, Occupant::RegularFile},
        {Occupant::Nothing, Occupant::Folder},          {Occupant::Nothing, Occupant::StaleSocket},
        {Occupant::RegularFile, Occupant::StaleSocket},
    };
    int index = 0;
    for (const auto& c : cases) {
        const QString name = QString("orrery-test-%1").arg(index++);
        qputenv("ORRERY_INSTANCE", name.toLatin1());
        const QString oldPath = temp() + "/" + name;
        const QString socketPath = runtime() + "/" + name;
        place(c.atOldPath, oldPath);
        place(c.atSocketPath, socketPath);

        SingleInstance first;
        ASSERT_TRUE(first.listen()) << index << ": " << first.errorString().toStdString();
        QSignalSpy received(&first, &SingleInstance::fileReceived);
        SingleInstance second;
        EXPECT_TRUE(second.handOver({"/a.qob"})) << index;
        EXPECT_EQ(waitForFiles(received, 1), QStringList{"/a.qob"}) << index;

        EXPECT_TRUE(stillThere(c.atOldPath, oldPath)) << index << ": something at the old path was touched";
        EXPECT_TRUE(stillThere(c.atSocketPath, socketPath)) << index << ": a file that is not a socket was removed";
        if (c.atOldPath == Occupant::StaleSocket) {
            EXPECT_TRUE(QFileInfo::exists(oldPath)) << "the shared folder is not ours to tidy";
        }
    }
}

TEST_F(SocketPlace, ASecondWorkbenchHandsItsFilesOverPastAFolderAtTheOldPath) {
    place(Occupant::Folder, oldPath());
    place(Occupant::RegularFile, runtime() + "/orrery-test");
    SingleInstance first;
    ASSERT_TRUE(first.listen()) << first.errorString().toStdString();
    QSignalSpy received(&first, &SingleInstance::fileReceived);
    QFile file(dir.filePath("one.qob"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ORRERY_SETTINGS", dir.filePath("orrery.ini"));
    env.insert("ORRERY_COM1", dir.filePath("no-such-port"));
    second.setProcessEnvironment(env);
    second.start(ORRERY_BINARY_DIR "/shell/orrery", {file.fileName()});
    ASSERT_TRUE(second.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    while (second.state() != QProcess::NotRunning && t.elapsed() < 10000) {
        received.wait(50);
    }
    if (second.state() != QProcess::NotRunning) {
        second.kill();
        second.waitForFinished(2000);
        FAIL() << "a second full workbench started instead of handing over";
    }
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(waitForFiles(received, 1), QStringList{file.fileName()});
    EXPECT_TRUE(stillThere(Occupant::Folder, oldPath()));
    EXPECT_TRUE(stillThere(Occupant::RegularFile, runtime() + "/orrery-test"));
}

}  // namespace
