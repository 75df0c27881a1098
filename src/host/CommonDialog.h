#pragma once

#include <QString>

// The open/save file dialog. Filter is a "|"-separated list of description and pattern pairs.
// FileName keeps its value between uses: OK sets it to the chosen path, Cancel leaves it as it was
// and raises nothing; Cancelled tells afterwards which of the two the user chose. InitDir is the
// folder the dialog starts in while FileName is empty.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;
    virtual void ShowOpen() = 0;
    virtual void ShowSave() = 0;

    QString Filter;
    QString FileName;
    QString InitDir;
    bool Cancelled = false;
};
