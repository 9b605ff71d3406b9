// Skerrin in a headless sway with no X server: the command bound to a key in sway's own
// settings, the highlight read through data-control, one Skerrin however it was started.
#include "SwaySession.h"

#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

class WaylandSession : public testing::Test {
protected:
    void SetUp() override {
        if (const QString missing = SwaySession::missingTool(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString() << " is missing";
        ASSERT_EQ(session.start(), "");
    }

    SwaySession session;
};

TEST_F(WaylandSession, BoundCommandSearchesTheHighlightWhenTheBusStartsSkerrinAndWhenItRuns) {
    QStringList expected;
    for (const QString highlighted : {"started by the bus", "already running"}) {
        SCOPED_TRACE(highlighted.toStdString());
        ASSERT_TRUE(session.highlight(highlighted));
        session.pressSearchKey();
        expected.append(kSearchOnWeb + QString(highlighted).replace(' ', "%20"));
        EXPECT_TRUE(waitUntil([&] { return session.home.opened() == expected; }, session.capMs))
            << session.home.opened().join(' ').toStdString();
        // Presses less than 0.1 s apart are one burst to Skerrin: the next is a new press.
        QThread::msleep(110);
    }
    // The bound command's own process ends once its request is delivered.
    EXPECT_TRUE(waitUntil([&] { return session.skerrinProcesses().size() == 1; }, 5000))
        << session.skerrinProcesses().size();
}

TEST_F(WaylandSession, NothingHighlightedSearchesNothingWhileTheClipboardHoldsASecret) {
    // Each time Skerrin comes forward it logs whether the desktop let it, a refusal only once:
    // launched with leave, the press is logged either way.
    const QString withToken = "with the desktop's activation token";
    const QString eitherWay = "Skerrin come forward|" + withToken;
    const auto cameForward = [&](const QString& how) {
        return session.home.read("skerrin.log").count(QRegularExpression(how));
    };
    QProcess& skerrin = session.client(
        "env", {"XDG_ACTIVATION_TOKEN=from-the-launcher", session.skerrin}, "skerrin.log");
    ASSERT_TRUE(waitUntil([&] { return session.skerrinServes(); }, session.capMs));
    session.client("wl-copy", {"--foreground", "s3cret-passw0rd"});
    ASSERT_TRUE(waitUntil([&] { return session.run("wl-paste", {"-n"}) == "s3cret-passw0rd"; },
                          session.capMs));
    ASSERT_TRUE(session.highlight(""));
    session.pressSearchKey();
    EXPECT_TRUE(waitUntil([&] { return cameForward(eitherWay) == 2; }, session.capMs))
        << session.home.read("skerrin.log").toStdString();
    EXPECT_TRUE(session.home.opened().isEmpty()) << session.home.opened().join(' ').toStdString();

    // A command launched with the desktop's leave to come forward hands it on.
    const qsizetype before = cameForward(withToken);
    session.run("env",
                {"XDG_ACTIVATION_TOKEN=from-the-launcher", session.skerrin, "--bring-to-front"});
    EXPECT_TRUE(waitUntil([&] { return cameForward(withToken) == before + 1; }, session.capMs));
    EXPECT_TRUE(waitUntil(
        [&] { return session.skerrinProcesses() == QList<qint64>{skerrin.processId()}; }, 5000));
}
