#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>

// The libplist calls that differ between the releases Skerrin builds with, chosen by
// SKERRIN_PLIST_VERSION (major * 100 + minor, from the build). 2.3 added plist_mem_free and later
// releases dropped plist_to_xml_free; 2.7 counts dates in whole seconds since 1970 and deprecates
// the calls that count from 2001 with microseconds.
namespace PlistCompat {

// A date as the file means it: seconds since 2001-01-01 UTC.
struct Date {
    int64_t seconds = 0;
    int32_t microseconds = 0;
};

#if SKERRIN_PLIST_VERSION >= 207
constexpr int64_t unixSecondsAt2001 = 978307200;

// libplist 2.7 has no call for a part of a second, and the file never holds one.
inline plist_t newDate(Date date) {
    return plist_new_unix_date(date.seconds + unixSecondsAt2001);
}

inline Date dateOf(plist_t node) {
    int64_t unixSeconds = 0;
    plist_get_unix_date_val(node, &unixSeconds);
    return {unixSeconds - unixSecondsAt2001, 0};
}
#else
inline plist_t newDate(Date date) {
    return plist_new_date(int32_t(date.seconds), date.microseconds);
}

inline Date dateOf(plist_t node) {
    int32_t seconds = 0;
    int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    return {seconds, microseconds};
}
#endif

// Memory that libplist handed out: XML text, keys.
inline void free(void* memory) {
#if SKERRIN_PLIST_VERSION >= 203
    plist_mem_free(memory);
#else
    std::free(memory);
#endif
}

} // namespace PlistCompat
