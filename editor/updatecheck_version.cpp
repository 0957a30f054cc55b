#include "editor/updatecheck_version.h"

#include <QStringList>
#include <QUrl>

#include <array>
#include <cstdint>
#include <limits>
#include <optional>

namespace orvella {
namespace {

constexpr int VersionParts = 4;
constexpr std::array<int64_t, VersionParts> PartWeights = {1000000, 10000, 100, 1};

// Decimal text with an optional sign, nothing around it, within a signed 32-bit integer.
std::optional<int32_t> ParsePart(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i == text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(value);
}

// The weighted value of a version, or the reason it has none. The sum is taken in 64 bits: a
// first part above 2147 would overflow 32.
std::optional<int64_t> WeightedValue(const QString& version, const QString& side,
                                     QString& problem) {
    const QStringList parts = version.split(u'.');
    if (parts.size() != VersionParts) {
        problem = QStringLiteral("%1 \"%2\" has %3 parts; a version has four numbers separated "
                                 "by dots.")
                      .arg(side, version)
                      .arg(parts.size());
        return std::nullopt;
    }
    int64_t value = 0;
    for (int i = 0; i < VersionParts; ++i) {
        const std::optional<int32_t> part = ParsePart(parts[i]);
        if (!part) {
            problem = QStringLiteral("%1 \"%2\" has the part \"%3\", which is not a decimal "
                                     "number.")
                          .arg(side, version, parts[i]);
            return std::nullopt;
        }
        value += *part * PartWeights[i];
    }
    return value;
}

} // namespace

TVersionComparison CompareVersions(const QString& latest, const QString& own) {
    TVersionComparison result;
    if (!latest.contains(u'.') || !own.contains(u'.')) return result;
    const std::optional<int64_t> latestValue =
        WeightedValue(latest, QStringLiteral("The latest version"), result.Problem);
    if (!latestValue) {
        result.Order = TVersionOrder::CannotCompare;
        return result;
    }
    const std::optional<int64_t> ownValue =
        WeightedValue(own, QStringLiteral("This program's version"), result.Problem);
    if (!ownValue) {
        result.Order = TVersionOrder::CannotCompare;
        return result;
    }
    result.Order = *ownValue < *latestValue ? TVersionOrder::Newer : TVersionOrder::NotNewer;
    return result;
}

bool IsWebAddress(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid()) return false;
    const QString scheme = url.scheme().toLower();
    return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

} // namespace orvella
