# editor_clipboard: the desktop clipboard for the document (TQtWaveClipboard).
