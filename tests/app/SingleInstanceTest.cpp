// One running instance: a second launch of the real program hands its files over and exits.
#include "app/shell/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;

namespace {

// Launches the application with the arguments from `folder` on the instance's socket; its exit code.
int launch(const SingleInstance& instance, const QStringList& arguments, const QString& folder) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SCRIVOLA_INSTANCE_NAME"), instance.name());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(SCRIVOLA_APP_PATH), arguments);
    // The running instance answers from its event loop.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace

TEST(SingleInstanceTest, ASecondLaunchHandsItsFilesToTheRunningInstanceAndExits) {
    QTemporaryDir dir;
    // A socket file left behind by a process that is gone does not keep the first one from listening.
    const QString name = dir.filePath(QStringLiteral("instance.socket"));
    QFile stale(name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    EXPECT_FALSE(SingleInstance(name).listen());  // the name is taken while it runs

    QSignalSpy received(&running, &SingleInstance::requestReceived);
    EXPECT_EQ(launch(running, {QStringLiteral("a.pdf"), dir.filePath(QStringLiteral("b c.png"))}, dir.path()), 0);
    ASSERT_EQ(received.size(), 1);
    auto request = received.at(0).at(0).value<SingleInstance::Request>();
    EXPECT_EQ(request.files, (QStringList{dir.filePath(QStringLiteral("a.pdf")), dir.filePath(QStringLiteral("b c.png"))}));
    EXPECT_FALSE(request.newWindow);

    // The desktop entry's New Window action.
    EXPECT_EQ(launch(running, {QStringLiteral("--new-window")}, dir.path()), 0);
    ASSERT_EQ(received.size(), 2);
    request = received.at(1).at(0).value<SingleInstance::Request>();
    EXPECT_TRUE(request.newWindow);
    EXPECT_TRUE(request.files.isEmpty());
}

// What arrives on the socket is checked: only absolute paths count, anything else is refused.
TEST(SingleInstanceTest, MalformedRequestsAreRefused) {
    EXPECT_FALSE(SingleInstance::decode("not json"));
    EXPECT_FALSE(SingleInstance::decode(R"({"files": "x"})"));
    const auto request = SingleInstance::decode(R"({"files": ["/a/../b.pdf", "relative.pdf", 7], "newWindow": true})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->files, QStringList{"/b.pdf"});
    EXPECT_TRUE(request->newWindow);
    SingleInstance::Request original{{QStringLiteral("/x/y z.pdf")}, false};
    EXPECT_EQ(SingleInstance::decode(SingleInstance::encode(original).trimmed())->files, original.files);
}
