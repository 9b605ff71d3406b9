#pragma once

#include <QString>

// A key of the settings file with the kind and default of its value.
template <typename T> struct PrefKey {
    const char* name;
    T defaultValue;
    QString key() const { return QLatin1String(name); }
};

// Every key Skerrin keeps, in one place. Key codes and masks are the stored numbering.
namespace PrefKeys {
inline constexpr PrefKey<bool> pasteText{"pasteText", false};
inline constexpr PrefKey<bool> copyText{"copyText", true};
inline constexpr PrefKey<bool> tryAsUrl{"tryAsUrl", true};
inline constexpr PrefKey<bool> showPanelIcon{"showPanelIcon", true}; // where a panel has a tray
inline constexpr PrefKey<int> keyCode{"keyCode", 0x67};              // F11
inline constexpr PrefKey<int> keyCodeMod{"keyCodeMod", 0x100};       // Super
inline constexpr PrefKey<int> openUrlKey{"openUrlKey", 0x67};        // F11
inline constexpr PrefKey<int> openUrlKeyMod{"openUrlKeyMod", 0x900}; // Super+Alt
// How the open-URL hot key reads the selection: 0 automatic, 1 primary only, 2 copy only.
inline constexpr PrefKey<int> readSelection{"readSelection", 0};
// Put back what the clipboard held before a copy that Skerrin made.
inline constexpr PrefKey<bool> restoreClipboard{"restoreClipboard", false};
// Off, a search leaves no trace: nothing enters the history or the settings file.
inline constexpr PrefKey<bool> rememberSearches{"rememberSearches", true};
// The person has pressed one of the hot keys: the main window no longer says what they do.
inline constexpr PrefKey<bool> hotKeyUsed{"hotKeyUsed", false};
// The chosen site is asked what to suggest as the person types in the search field.
inline constexpr PrefKey<bool> suggestSearches{"suggestSearches", false};
// WM_CLASS names of terminals beyond the built-in ones (array of strings).
inline constexpr const char* terminalClasses = "terminalClasses";
// The archived site list (data) and the last searches (array of strings).
inline constexpr const char* searchList = "searchList";
inline constexpr const char* history = "history";
// Per site, in the order of the archived list: keyword, encoding, space style, template.
inline constexpr const char* searchListFields = "searchListFields";
// Only for sites that open several addresses or a private window, each "private" or nothing
// and then every address, tab-separated; absent when no site does either.
inline constexpr const char* searchListAddresses = "searchListAddresses";
// Only for sites with a suggestion address: the site's first address and that template,
// tab-separated; absent when no site has one.
inline constexpr const char* searchListSuggestions = "searchListSuggestions";

// Scratch entries that live for one run only.
inline constexpr const char* bringToFrontCombo = "mCombo";
inline constexpr const char* openUrlCombo = "urlCombo";
inline constexpr const char* liveSearchList = "searchList";
inline constexpr const char* noPostCopy = "noPostCopy";
} // namespace PrefKeys
