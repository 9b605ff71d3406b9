#pragma once

#include "ArchiveObject.h"
#include "PercentEscaping.h"

#include <QList>
#include <QString>

#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <utility>

class UserDefaults;

class SearchUrl {
public:
    // Historic sites read Latin-1 and write a space as %20; imported ones pass UTF-8 and +.
    SearchUrl(QString url, QString title, QString commandKey,
              InputEncoding encoding = InputEncoding::Latin1,
              SpaceStyle spaces = SpaceStyle::Percent20, QString keyword = {});

    // The first address; a group's further ones come after it in urls().
    const QString& url() const { return url_; }
    const QString& commandKey() const { return commandKey_; }
    const QString& title() const { return title_; }
    void setUrl(const QString& url) { url_ = url; }
    void setCommandKey(const QString& commandKey) { commandKey_ = commandKey; }
    void setTitle(const QString& title) { title_ = title; }
    // The first word typed before a search text to search on this site; empty for none.
    const QString& keyword() const { return keyword_; }
    InputEncoding encoding() const { return encoding_; }
    SpaceStyle spaceStyle() const { return spaces_; }
    void setKeyword(const QString& keyword) { keyword_ = keyword; }
    void setEncoding(InputEncoding encoding) { encoding_ = encoding; }
    void setSpaceStyle(SpaceStyle spaces) { spaces_ = spaces; }
    // Every address a search opens, in order: one for a site, up to maxUrls for a group.
    QStringList urls() const { return QStringList{url_} + moreUrls_; }
    void setUrls(const QStringList& urls);
    static constexpr qsizetype maxUrls = 10;
    // Opened in the browser's private window.
    bool privateWindow() const { return private_; }
    void setPrivateWindow(bool privateWindow) { private_ = privateWindow; }
    // Where the site offers searches for what is being typed, a template like the address;
    // empty for none.
    const QString& suggestUrl() const { return suggestUrl_; }
    void setSuggestUrl(const QString& suggestUrl) { suggestUrl_ = suggestUrl; }
    // The address a search for `text` opens on this site, and on each address of a group.
    QString addressFor(const QString& text) const;
    QStringList addressesFor(const QString& text) const;
    // The address that asks the site what to suggest for `text`; empty without one.
    QString suggestionAddressFor(const QString& text) const;
    bool operator==(const SearchUrl&) const = default;

    ArchiveObjectRef encodeWithCoder() const;
    static std::optional<SearchUrl> initWithCoder(const ArchiveObject& coded);

private:
    QString url_;
    QString commandKey_;
    QString title_;
    // Kept beside the archive, never in it: the archive stays readable by older releases.
    QString keyword_;
    InputEncoding encoding_;
    SpaceStyle spaces_;
    QStringList moreUrls_;
    bool private_ = false;
    QString suggestUrl_;
};

// Names as --list-sites prints them and the settings file keeps them.
QString encodingName(InputEncoding encoding);
std::optional<InputEncoding> encodingFromName(const QString& name);

class SearchList {
public:
    // The six default sites.
    SearchList();
    // What an import adds up to: more sites than a person could pick from a menu would only make
    // every search that reads the list slow.
    static constexpr qsizetype maxImportedSites = 1000;
    static SearchList empty();

    // The first default site, searched when the chosen title finds none.
    static const SearchUrl& fallbackSite();

    void addNewBlankSearchUrl();
    void removeSearchUrlAtIndex(int index);
    const QList<SearchUrl>& searchUrls() const { return list; }
    QList<SearchUrl>& searchUrls() { return list; }
    // The template of the first site titled exactly `selected`; null (and a log line) when none.
    QString getUrlForTitle(const QString& selected) const;
    // The first site titled exactly `title`, or none; no log line.
    const SearchUrl* siteForTitle(const QString& title) const;
    // The site whose keyword is the first word of `text` (case ignored) and the text after the
    // keyword; none when no keyword matches or nothing follows it.
    std::optional<std::pair<const SearchUrl*, QString>> siteForKeyword(const QString& text) const;

    // What is wrong with a site among `others` (the rest of its list), each as a reason a person
    // reads and the field it concerns: no address or no place for the text in it, a malformed
    // address, no title, a title or keyword another site has, a keyword of two words, a
    // suggestion address that is not a template of a web address.
    enum class Field { Title, Address, Keyword, Suggestions };
    struct Problem {
        Field field;
        QString reason;
        // Which of a group's addresses an Address problem concerns, from 0.
        qsizetype address = 0;
    };
    static QList<Problem> problemsOf(const SearchUrl& site, const QList<SearchUrl>& others);
    // The reasons of the site at `index`.
    QStringList problemsAt(qsizetype index) const;

    // The fields the archive does not hold, one entry per site in order, for the settings file.
    QStringList siteFields() const;
    // Takes back what siteFields() gave. An entry whose template is not the site's (the list was
    // saved by a release that did not know them) is not applied: the site keeps the defaults.
    void applySiteFields(const QStringList& fields);
    // The groups' addresses and the private windows, one entry per site that has either, for the
    // settings file; none for a list without them, whose stored form stays as it always was.
    QStringList siteAddresses() const;
    // Takes back what siteAddresses() gave: each entry goes to the next site whose first address
    // is the entry's, so sites an older release added or removed leave the others' intact.
    void applySiteAddresses(const QStringList& entries);
    // The suggestion addresses, one entry per site that has one, for the settings file; none
    // for a list without them.
    QStringList siteSuggestions() const;
    // Takes back what siteSuggestions() gave, matched to the sites as applySiteAddresses does.
    void applySiteSuggestions(const QStringList& entries);
    // The keys of the settings file that hold the list, and their values there.
    static QStringList storedKeys();
    static QVariantMap storedIn(const UserDefaults& defaults);
    // What the settings keep beside the archive, by key; no value for a key to remove.
    QVariantMap storedBeside() const;

    ArchiveObjectRef encodeWithCoder() const;
    // Nothing when the archive does not hold a search list.
    static std::unique_ptr<SearchList> initWithCoder(const ArchiveObject& coded);
    // The list stored as archive bytes, or nothing when they are absent or damaged.
    static std::unique_ptr<SearchList> fromArchivedData(QByteArrayView data);
    // The list as the settings keep it (the archive and what is kept beside it), or nothing
    // when the archive is absent or damaged.
    static std::unique_ptr<SearchList> fromStored(const QVariantMap& stored);
    // The sites of a list as the settings keep it, the default ones where none is readable.
    static QList<SearchUrl> storedSites(const QVariantMap& stored);
    // The settings' list that another process changed since this one read it (`had`): what
    // this process changed on the way to `has` (sites added, edited or removed) applied to
    // `onDisk`; the other process's sites stay.
    static QVariantMap mergeStored(const QVariantMap& had, const QVariantMap& has,
                                   const QVariantMap& onDisk);
    static QList<SearchUrl> mergedSites(const QList<SearchUrl>& had, const QList<SearchUrl>& has,
                                        const QList<SearchUrl>& onDisk);

private:
    struct Empty {};
    explicit SearchList(Empty) {}
    QList<SearchUrl> list;
};
