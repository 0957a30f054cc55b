#include "editor/timeedit.h"

#include <QStringList>

#include <limits>

namespace orvella {

EConvertError::EConvertError(const QString& text)
    : std::runtime_error(
          QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString()) {}

uint32_t ParseInteger(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty()) throw EConvertError(text);
    uint64_t value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) throw EConvertError(text);
        value = value * 10 + uint64_t(c.unicode() - '0');
        if (value > std::numeric_limits<uint32_t>::max()) throw EConvertError(text);
    }
    return uint32_t(value);
}

uint32_t ParseTime(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString minutes = colon < 0 ? text : text.left(colon);
    const QString rest = colon < 0 ? QString() : text.mid(colon + 1);
    const qsizetype dot = rest.indexOf(QLatin1Char('.'));
    const QString seconds = dot < 0 ? rest : rest.left(dot);
    const QString milliseconds = dot < 0 ? QString() : rest.mid(dot + 1);
    const uint64_t total = uint64_t(ParseInteger(minutes)) * 60000 +
                           uint64_t(ParseInteger(seconds)) * 1000 + ParseInteger(milliseconds);
    if (total > std::numeric_limits<uint32_t>::max()) throw EConvertError(text);
    return uint32_t(total);
}

QString AlignToMask(const QString& mask, const QString& text) {
    // The mask's layout: runs of digit places separated by literals.
    const QString layout = mask.section(QLatin1Char(';'), 0, 0);
    QStringList places, values;
    QString literals;
    QString run;
    for (const QChar c : layout) {
        if (c == QLatin1Char('0') || c == QLatin1Char('9')) {
            run += c;
        } else {
            places << run;
            literals += c;
            run.clear();
        }
    }
    places << run;
    // The text's parts between the same literals.
    QString part;
    qsizetype next = 0;
    for (const QChar c : text) {
        if (next < literals.size() && c == literals[next]) {
            values << part;
            part.clear();
            ++next;
        } else {
            part += c;
        }
    }
    values << part;
    QString result;
    for (qsizetype i = 0; i < places.size(); ++i) {
        const QString value = i < values.size() ? values[i].trimmed() : QString();
        const qsizetype width = places[i].size();
        result += value.size() >= width ? value.right(width) : value.rightJustified(width, ' ');
        if (i < literals.size()) result += literals[i];
    }
    return result;
}

} // namespace orvella
