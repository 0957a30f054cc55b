#pragma once
// The texts of the two selection edits: their masks, how a value is written into a masked edit,
// and how the edit's text is read back as a time or a frame number.
//
// The milliseconds mask has three optional minute digits, two optional second digits and three
// required millisecond digits, with ":" and "." kept in the text; the samples mask has fifteen
// optional digits. Optional digits that are not filled show as blanks in front of the number, so
// "01:30.250" shows as " 01:30.250".
// Thread rule: plain functions, any thread.

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace orvella {

// Qt's notation: '0' an optional digit, '9' a required one, ';' then the blank character.
inline const QString MillisecondsMask = QStringLiteral("000:00.999; ");
inline const QString SamplesMask = QStringLiteral("000000000000000; ");

// A text that is not a number where one is needed. Its message is
// "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString& text);
};

// The integer in text, blanks allowed before and after the digits; 0 .. 4294967295 (the frame
// numbers a document can hold). Anything else raises EConvertError naming text.
uint32_t ParseInteger(const QString& text);

// Milliseconds of a "minutes:seconds.milliseconds" text: the digits before the first ":" are the
// minutes, those up to the first following "." the seconds, the rest the milliseconds. A part
// that is blank or not a number raises EConvertError naming that part.
uint32_t ParseTime(const QString& text);

// text placed right-aligned in a masked edit of the given mask: each group of digit places is
// filled from its right end, the unfilled places left blank. The milliseconds mask takes
// "mm:ss.zzz" (any number of minute digits up to three), the samples mask a decimal number.
QString AlignToMask(const QString& mask, const QString& text);

} // namespace orvella
