#pragma once

#include <QDialog>
#include <QPointer>

class EditorControl;
class MessageBoxService;

// What the find and replace dialogs have in common: a modeless window of a fixed size (in twips) that
// destroys itself when closed, at most one of each kind, and the editor it searches, which it follows
// from one showing to the next and without which it closes.
class SearchDialog : public QDialog {
protected:
    SearchDialog(EditorControl& text1, MessageBoxService& messages, const QString& name, const QString& title,
                 const QString& iconName, int widthTwips, int heightTwips);

    // Shows the one dialog of a kind: made by create on first use, else brought to the front with
    // whatever the user has typed so far, now searching text1.
    template<typename Dialog, typename Create>
    static Dialog* showOne(QPointer<Dialog>& current, EditorControl& text1, MessageBoxService& messages, Create create)
    {
        if (!current) {
            current = create();
            current->placeOnFirstShow();
            current->show();
        } else {
            current->target(text1, messages);
            current->show();
            current->raise();
        }
        current->activateWindow();
        return current;
    }

    QPointer<EditorControl> text1_;
    MessageBoxService* messages_ = nullptr;

private:
    void target(EditorControl& text1, MessageBoxService& messages);
    void placeOnFirstShow();

    QMetaObject::Connection editorGone_;
};
