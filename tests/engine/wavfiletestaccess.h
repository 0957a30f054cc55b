#pragma once
// The tests' view of a document's private state: what they check after an operation, and the
// steps they drive one at a time.
// Thread rule: the document's own: main thread, while no body runs.

#include "engine/wavfile.h"

#include <string>

namespace orvella {

class TwavefileTestAccess {
public:
    static const std::string& WorkFileName(const Twavefile& doc) { return doc.WorkFileName; }
    static const TStack& UndoStack(const Twavefile& doc) { return doc.UndoStack; }
    static const TStack& RedoStack(const Twavefile& doc) { return doc.RedoStack; }
    // Deletes the redo states' files now rather than at the next change.
    static void ClearRedo(Twavefile& doc) { doc.RedoStack.Clear(); }
    // The format fields from header, as a body applies a header it has read or written.
    static void ApplyHeader(Twavefile& doc, const TWaveHeader& header) { doc.ApplyHeader(header); }
};

} // namespace orvella
