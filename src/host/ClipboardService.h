#pragma once

#include <QString>

// The system clipboard, in plain-text form only.
class ClipboardService {
public:
    virtual ~ClipboardService() = default;
    virtual void SetText(const QString& text) = 0;
    // The empty text when the clipboard holds no text.
    virtual QString GetText() = 0;
};
