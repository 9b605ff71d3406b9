#include "PreferenceFile.h"
#include "Prefs.h"
#include "Recorders.h"
#include "Searcher.h"
#include "TestApp.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What python's plistlib, a strict standard reader, makes of the file: the given expression
// over the loaded dictionary `d`, printed as its repr(); the reader's error when it refuses.
QString readWithPlistlib(const QString& path, const QString& expression) {
    QProcess python;
    python.start("python3", {"-c",
                             "import plistlib, sys\n"
                             "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                             "print(ascii(" +
                                 expression + "))",
                             path});
    python.waitForFinished(10000);
    return QString::fromUtf8(python.readAllStandardOutput() + python.readAllStandardError())
        .trimmed();
}

bool onlyXmlCharacters(const QByteArray& bytes) {
    return std::none_of(bytes.cbegin(), bytes.cend(),
                        [](char c) { return uchar(c) < 0x20 && c != '\t' && c != '\n'; });
}

class SettingsText : public testing::Test {
protected:
    SettingsText() { ensureApp(); }
    QString path() const { return dir.filePath("skerrin/" SKERRIN_APP_ID ".plist"); }
    QTemporaryDir dir;
};

} // namespace

TEST(PreferenceFileText, EveryTextIsWrittenAsXmlAndReadsBackTheSame) {
    const QChar marker(0xFDD0);
    const QByteArray m = "\xef\xb7\x90"; // the marker in UTF-8
    const struct {
        QString text;
        QByteArray written; // in the file, between <string> and </string>
    } table[] = {
        {"plain ü & <tags>\tand\n", "plain ü &amp; &lt;tags&gt;\tand\n"},
        {"a\x1b[31mred", "a" + m + "001B[31mred"},
        {"cr\rcrlf\r\n", "cr&#13;crlf&#13;\n"},
        {QString("nul") + QChar(0) + QChar(0xFFFF), "nul" + m + "0000" + m + "FFFF"},
        {QString("lone") + QChar(0xD800) + "x" + QChar(0xD83D) + QChar(0xDE00),
         "lone" + m + "D800x\xf0\x9f\x98\x80"},
        {QString(marker) + "001B", m + "FDD0001B"},
        {QString(marker) + "zz", m + "FDD0zz"},
    };
    for (const auto& row : table) {
        PreferenceFile file;
        file.setValue("history", QStringList{row.text});
        file.setValue(row.text, 1.0);
        const QByteArray bytes = file.serialise();
        EXPECT_TRUE(bytes.contains("<string>" + row.written + "</string>")) << bytes.toStdString();
        EXPECT_TRUE(bytes.contains("<key>" + row.written + "</key>")) << bytes.toStdString();
        EXPECT_TRUE(onlyXmlCharacters(bytes)) << bytes.toStdString();
        const auto reread = PreferenceFile::parse(bytes);
        ASSERT_TRUE(reread) << bytes.toStdString();
        EXPECT_EQ(reread->values().value("history"), QStringList{row.text});
        EXPECT_EQ(reread->values().value(row.text), 1.0);
    }
    // A file where an older release kept a string raw becomes XML at the next write.
    const auto old = PreferenceFile::parse(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k\x01</key><string>a\x1b"
        "b\xff</string></dict></plist>");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->values(), QVariantMap({{"k\x01", QString("a\x1b"
                                                            "b") +
                                                        QChar(0xFFFD)}}));
    EXPECT_TRUE(onlyXmlCharacters(old->serialise())) << old->serialise().toStdString();
}

TEST_F(SettingsText, SearchWithEscapeAndReturnKeepsEverySettingAcrossARestart) {
    const QString typed = "\x1b[1mbold\x1b[0m\rover";
    {
        UserDefaults defaults(path());
        Prefs prefs(defaults);
        prefs.setInt(PrefKeys::keyCode.key(), 122.0f);
        prefs.setBool(PrefKeys::copyText.key(), false);
        RecordingUrlOpener opener;
        RecordingAlert alert;
        Searcher searcher(prefs, opener, alert);
        searcher.searchForString("first");
        searcher.searchForString(typed);
        ASSERT_EQ(opener.opened.size(), 2);
    }
    const QByteArray bytes = readBytes(path());
    EXPECT_TRUE(onlyXmlCharacters(bytes)) << bytes.toStdString();
    EXPECT_EQ(readWithPlistlib(path(), "[d['keyCode'], d['copyText'], d['history']]"),
              "[122.0, 0.0, ['first', '\\ufdd0001B[1mbold\\ufdd0001B[0m\\rover']]");

    UserDefaults defaults(path());
    Prefs prefs(defaults);
    EXPECT_EQ(prefs.getInt(PrefKeys::keyCode.key(), 0), 122);
    EXPECT_FALSE(prefs.getBool(PrefKeys::copyText.key(), true));
    EXPECT_EQ(prefs.getHistory(), QStringList({"first", typed}));
    EXPECT_EQ(QDir(dir.filePath("skerrin")).entryList({"*.damaged-*"}), QStringList());
}

TEST_F(SettingsText, HistoryOfTheWrongKindOrTooLongTakesItsDefaultAndNothingElseIsLost) {
    const QString tooLong(Prefs::maxTextBytes + 1, 'x');
    const QString longest(Prefs::maxTextBytes / 2, QChar(0xE9)); // two bytes each
    const QVariant table[] = {QString("a string"), QVariantMap{{"a", "b"}}, 3.0, QByteArray("data"),
                              QStringList{tooLong}};
    for (const QVariant& history : table) {
        {
            UserDefaults defaults(path());
            defaults.setObject(history, "history");
            defaults.setObject(1.0, "tryAsUrl");
        }
        UserDefaults defaults(path());
        Prefs prefs(defaults);
        EXPECT_EQ(prefs.getHistory(), QStringList()) << history.typeName();
        EXPECT_TRUE(prefs.getBool("tryAsUrl", false));
    }
    UserDefaults defaults(path());
    Prefs prefs(defaults);
    prefs.setHistory({"kept", tooLong, longest});
    EXPECT_EQ(defaults.objectForKey("history"), QStringList({"kept", longest}));
}
