#include "TestHome.h"

#include <QDir>

#include <gtest/gtest.h>

// Sites added and removed by the command line, by the site editor's rules: a refusal is one
// line and exit 1, and the list stays as it was.
TEST(SiteCommands, AddAndRemoveFollowTheEditorsRules) {
    TestHome home;
    const auto run = [&](const QStringList& arguments) {
        return runProgram(home.environment(), SKERRIN_BIN, arguments, 20000);
    };
    const QString news = "http://a.example/?q=%@ https://b.example/s/%@ http://c.example/?q=%@";
    const QList<std::tuple<QStringList, int, QString>> steps = {
        {{"--add-site", "News", "http://a.example/?q=%s", "https://b.example/s/{searchTerms}",
          "http://c.example/?q=%@", "--keyword", "news", "--key", "8"},
         0,
         ""},
        {{"--add-site", "Quiet", "http://p.example/?q=%@", "--private"}, 0, ""},
        {{"--add-site", "News", "http://d.example/?q=%@"}, 1, "another site has this title"},
        {{"--add-site", "Daily", "http://d.example/?q=%@", "--keyword", "NEWS"},
         1,
         "another site has this keyword"},
        {{"--add-site", "Daily", "http://d.example/", "http://e.example/?q=%@"},
         1,
         "address 1 has no %@ for the search text"},
        {{"--add-site", "Daily", "d.example/?q=%@"}, 1, "the address is not a web address"},
        {QStringList{"--add-site", "Many"} + QStringList(11, "http://m.example/?q=%@"), 1,
         "a site opens 10 addresses at most"},
        {{"--add-site", "Daily"}, 2, "--add-site needs a TEMPLATE"},
        {{"--add-site", "Daily", "http://d.example/?q=%@", "--key", "x"}, 2, "one digit"},
        {{"--keyword", "d", "--list-sites"}, 2, "--keyword goes with --add-site"},
        {{"--remove-site", "Nothing"}, 1, "no search site is titled \"Nothing\""},
        {{"--remove-site", "Web"}, 0, ""}};
    for (const auto& [arguments, exitCode, said] : steps) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains(said)) << result.err.toStdString();
        EXPECT_EQ(result.err.count('\n'), exitCode == 1   ? 1
                                          : exitCode == 2 ? 2
                                                          : 0)
            << result.err.toStdString();
    }
    const QStringList lines = run({"--list-sites"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines.first(),
              "2\tUsenet\thttp://groups.google.com/groups?q=%@&hl=en&lr=&ie=UTF-8&sa="
              "N&tab=wg\t\tISO-8859-1");
    EXPECT_EQ(lines.at(5), "8\tNews\t" + news + "\tnews\tUTF-8");
    EXPECT_EQ(lines.at(6), "8\tQuiet\thttp://p.example/?q=%@\t\tUTF-8");
    // One description per address of the group.
    const QString dir = home.path("exported");
    EXPECT_EQ(run({"--export-sites", dir}).exitCode, 0);
    EXPECT_EQ(QDir(dir).entryList({"News*"}, QDir::Files),
              QStringList({"News-2.xml", "News-3.xml", "News.xml"}));
}
