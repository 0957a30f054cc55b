#pragma once
// The comparison of the latest version named by the update information with this program's own
// version, and the check of the download address before it is handed to the desktop.
// A version is four numbers separated by dots, weighted 1000000, 10000, 100 and 1; the third and
// fourth numbers above 99 therefore overlap the next higher place (1.0.0.100 equals 1.0.1.0).
// Thread rule: plain functions, any thread.

#include <QString>

namespace orvella {

enum class TVersionOrder { NotNewer, Newer, CannotCompare };

struct TVersionComparison {
    TVersionOrder Order = TVersionOrder::NotNewer;
    // CannotCompare: which version is at fault and how, as a sentence for the user.
    QString Problem;
};

// Is latest newer than own? A side without a dot is never newer. Otherwise both sides must have
// exactly four decimal parts (an optional sign, digits, within a signed 32-bit integer); any other
// shape cannot be compared. Equal weighted values are not newer.
TVersionComparison CompareVersions(const QString& latest, const QString& own);

// True only for an http or https address with a host: the only kind of address the check ever
// hands to the desktop, which must never be made to open a local file or program.
bool IsWebAddress(const QString& address);

} // namespace orvella
