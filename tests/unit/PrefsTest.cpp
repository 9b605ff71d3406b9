#include "Prefs.h"
#include "Archiver.h"
#include "SearchList.h"
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

    // Stores the values the way another run (or another program) left them.
    void persist(const QVariantMap& entries) const {
        UserDefaults earlier(path());
        for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
            earlier.setObject(entry.value(), entry.key());
        ASSERT_TRUE(earlier.synchronize());
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(PrefsStore, NumbersAreStoredAsRealsAndSurviveARelaunch) {
    {
        UserDefaults defaults(path());
        Prefs prefs(defaults);
        EXPECT_EQ(prefs.getInt("keyCode", 0x67), 103);
        prefs.setInt("keyCode", 122.0f);
        prefs.setBool("pasteText", true);
        prefs.setFloat("ratio", 0.1f);
        EXPECT_EQ(prefs.getInt("keyCode", 0x67), 122);
        EXPECT_TRUE(prefs.getBool("pasteText", false));
        ASSERT_TRUE(defaults.synchronize());
    }
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QRegularExpression("<key>keyCode</key>\\s*<real>122(\\.0*)?</real>")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("<key>pasteText</key>\\s*<real>1(\\.0*)?</real>")))
        << text.toStdString();

    UserDefaults relaunched(path());
    Prefs prefs(relaunched);
    EXPECT_EQ(prefs.getInt("keyCode", 0x67), 122);
    EXPECT_TRUE(prefs.getBool("pasteText", false));
    EXPECT_EQ(prefs.getFloat("ratio", 0), 0.1f);
    EXPECT_EQ(relaunched.objectForKey("keyCode").typeId(), QMetaType::Double);
    EXPECT_EQ(relaunched.objectForKey("ratio").toDouble(), double(0.1f));
}

TEST_F(PrefsStore, MissingKeysGiveTheCallersDefault) {
    UserDefaults defaults(path());
    Prefs prefs(defaults);
    EXPECT_EQ(prefs.getInt("openUrlKeyMod", 0x900), 0x900);
    EXPECT_TRUE(prefs.getBool("copyText", true));
    EXPECT_EQ(prefs.getFloat("ratio", 2.5f), 2.5f);
    EXPECT_EQ(prefs.getString("name", "fallback"), QVariant("fallback"));
    EXPECT_FALSE(prefs.get("keyCode").isValid());
    EXPECT_FALSE(prefs.getTempObject("noPostCopy").isValid());
}

TEST_F(PrefsStore, ScratchObjectsShadowTheStoreUntilRemoved) {
    UserDefaults defaults(path());
    Prefs prefs(defaults);
    prefs.setTempObject("searchList", "live list");
    prefs.saveSearchList(SearchList(), "searchList");
    EXPECT_EQ(prefs.getTempObject("searchList"), QVariant("live list"));
    EXPECT_EQ(defaults.objectForKey("searchList"),
              QVariant(Archiver::archivedDataWithRootObject(SearchList().encodeWithCoder())));

    prefs.removeTempObject("searchList");
    prefs.removeTempObject("neverPut");
    EXPECT_EQ(prefs.get("searchList").typeId(), QMetaType::QByteArray);

    // A typed setter writes both maps, so the scratch value wins over later store changes.
    prefs.setString("name", "typed");
    defaults.setObject("changed behind its back", "name");
    EXPECT_EQ(prefs.get("name"), QVariant("typed"));
}

TEST_F(PrefsStore, PersistedNoPostCopyIsSeenByGetTempObject) {
    persist({{"noPostCopy", "1"}});
    UserDefaults defaults(path());
    Prefs prefs(defaults);
    EXPECT_EQ(prefs.getTempObject("noPostCopy"), QVariant("1"));
}

TEST_F(PrefsStore, OddKindsUnderNumericKeysConvertOrGiveTheDefault) {
    struct Case {
        QVariant stored;
        int asInt;   // 0x67 is the default passed
        bool asBool; // the default passed is true
    };
    const QList<Case> table = {
        {"42abc", 42, true},
        {"x", 0, false},
        {"  -7 apples", -7, true},
        {qint64(7), 7, true},
        {true, 1, true},
        {false, 0, false},
        {-3.9, -3, true},
        {0.5, 0, false},
        {QStringList({"1"}), 0x67, true},
        {QByteArray("12"), 0x67, true},
        {QVariantMap({{"a", 1.0}}), 0x67, true},
    };
    QVariantMap entries;
    for (int i = 0; i < table.size(); ++i)
        entries.insert(QString("key%1").arg(i), table[i].stored);
    persist(entries);

    UserDefaults defaults(path());
    Prefs prefs(defaults);
    for (int i = 0; i < table.size(); ++i) {
        const QString key = QString("key%1").arg(i);
        EXPECT_EQ(prefs.getInt(key, 0x67), table[i].asInt) << key.toStdString();
        EXPECT_EQ(prefs.getBool(key, true), table[i].asBool) << key.toStdString();
    }
    EXPECT_EQ(prefs.getFloat("key0", 1.5f), 42.0f);
    EXPECT_EQ(prefs.getFloat("key9", 1.5f), 1.5f);
}

TEST_F(PrefsStore, HistoryKeepsTheNewestTenStringsAcrossARelaunch) {
    QStringList searches;
    for (int i = 1; i <= 12; ++i)
        searches.append(QString("search %1").arg(i));
    {
        UserDefaults defaults(path());
        Prefs prefs(defaults);
        EXPECT_TRUE(prefs.getHistory().isEmpty());
        prefs.setHistory(searches.first(2));
        EXPECT_EQ(prefs.getHistory(), searches.first(2));
        prefs.setHistory(searches);
    }
    UserDefaults defaults(path());
    Prefs prefs(defaults);
    QStringList history = prefs.getHistory();
    EXPECT_EQ(history, searches.last(10));
    history.append("the caller's own");
    EXPECT_EQ(prefs.getHistory(), searches.last(10));

    defaults.setObject(QVariantList({"a", 1.0, "b", QByteArray("c")}), "history");
    EXPECT_EQ(prefs.getHistory(), QStringList({"a", "b"}));
}
