#pragma once
// The tests' view of a document's private state: what they check after an operation, and the
// steps they drive one at a time.
// Thread rule: the document's own: main thread, while no body runs.

#include "engine/document.h"

#include <string>

namespace orvella {

class TDocumentTestAccess {
public:
    static const std::string& WorkFileName(const TDocument& doc) { return doc.WorkFileName; }
    static const TWorkFileStack& UndoStack(const TDocument& doc) { return doc.UndoStack; }
    static const TWorkFileStack& RedoStack(const TDocument& doc) { return doc.RedoStack; }
    // Deletes the redo states' files now rather than at the next change.
    static void ClearRedo(TDocument& doc) { doc.RedoStack.Clear(); }
    // The format fields from header, as a body applies a header it has read or written.
    static void ApplyHeader(TDocument& doc, const TWaveHeader& header) { doc.ApplyHeader(header); }
};

} // namespace orvella
