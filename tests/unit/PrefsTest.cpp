#include "Prefs.h"
#include "TestApp.h"
#include "UserDefaults.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PrefsStore : public testing::Test {
protected:
    PrefsStore() { ensureApp(); }

    QString path() const { return dir.filePath("skerrin/" SKERRIN_APP_ID ".plist"); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(PrefsStore, NumbersAreStoredAsRealsAndSurviveARelaunch) {
    {
        UserDefaults defaults(path());
        Prefs prefs(defaults);
        prefs.setInt("keyCode", 122.0f);
        prefs.setBool("pasteText", true);
        prefs.setFloat("ratio", 0.1f);
    }
    QFile file(path());
    const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "";
    for (const char* stored : {"keyCode</key>\\s*<real>122", "pasteText</key>\\s*<real>1"})
        EXPECT_TRUE(text.contains(QRegularExpression(QString(stored) + "(\\.0*)?</real>")))
            << stored << '\n'
            << text.toStdString();

    UserDefaults relaunched(path());
    Prefs prefs(relaunched);
    EXPECT_EQ(prefs.getInt("keyCode", 0x67), 122);
    EXPECT_TRUE(prefs.getBool("pasteText", false));
    EXPECT_EQ(prefs.getFloat("ratio", 0), 0.1f);
}

TEST_F(PrefsStore, ScratchObjectsShadowTheStoreUntilRemoved) {
    UserDefaults defaults(path());
    defaults.setObject("1", "noPostCopy");
    Prefs prefs(defaults);
    EXPECT_EQ(prefs.getTempObject("noPostCopy"), QVariant("1"));
    prefs.setTempObject("noPostCopy", "scratch");
    prefs.setString("name", "typed");
    EXPECT_EQ(prefs.get("noPostCopy"), QVariant("scratch"));
    prefs.removeTempObject("noPostCopy");
    EXPECT_EQ(prefs.get("noPostCopy"), QVariant("1"));
    EXPECT_EQ(defaults.objectForKey("name"), QVariant("typed"));
    EXPECT_EQ(prefs.getString("title", "fallback"), QVariant("fallback"));
}

// Another program (or a hand edit) may leave any kind under a numeric key; missing is the last row.
TEST_F(PrefsStore, OddOrMissingValuesUnderNumericKeysConvertOrGiveTheDefault) {
    // What is stored, then what getInt(key, 0x67) and getBool(key, true) give.
    const QList<std::tuple<QVariant, int, bool>> table = {{"42abc", 42, true},
                                                          {"x", 0, false},
                                                          {"  -7 apples", -7, true},
                                                          {qint64(7), 7, true},
                                                          {false, 0, false},
                                                          {-3.9, -3, true},
                                                          {0.5, 0, false},
                                                          {QStringList({"1"}), 0x67, true},
                                                          {QByteArray("12"), 0x67, true},
                                                          {QVariantMap({{"a", 1.0}}), 0x67, true},
                                                          {QVariant(), 0x67, true}};
    {
        UserDefaults earlier(path());
        for (int i = 0; i < table.size(); ++i)
            earlier.setObject(std::get<0>(table[i]), QString("key%1").arg(i));
    }
    UserDefaults defaults(path());
    Prefs prefs(defaults);
    for (int i = 0; i < table.size(); ++i) {
        const QString key = QString("key%1").arg(i);
        EXPECT_EQ(prefs.getInt(key, 0x67), std::get<1>(table[i])) << key.toStdString();
        EXPECT_EQ(prefs.getBool(key, true), std::get<2>(table[i])) << key.toStdString();
    }
    EXPECT_EQ(prefs.getFloat("key0", 1.5f), 42.0f);
    EXPECT_EQ(prefs.getFloat("key7", 1.5f), 1.5f);
}

TEST_F(PrefsStore, HistoryKeepsTheNewestTenStringsAcrossARelaunch) {
    QStringList searches;
    for (int i = 1; i <= 12; ++i)
        searches.append(QString("search %1").arg(i));
    {
        UserDefaults defaults(path());
        Prefs(defaults).setHistory(searches);
    }
    UserDefaults defaults(path());
    Prefs prefs(defaults);
    EXPECT_EQ(prefs.getHistory(), searches.last(10));

    defaults.setObject(QVariantList({"a", 1.0, "b", QByteArray("c")}), "history");
    EXPECT_EQ(prefs.getHistory(), QStringList({"a", "b"}));
}
