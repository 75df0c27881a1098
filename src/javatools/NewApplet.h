#pragma once

#include <QString>

class Document;

// File > New Applet...: the wizard and what its OK does to the document.
namespace NewApplet {
// Shows the wizard (created on first use, otherwise brought to the front); its OK writes into document.
void showWizard(Document& document);
// Closes the wizard if it is open; it writes into a document that must not go before it.
void closeWizard();
// The wizard's OK: replaces the document with the applet's source, as a new document shown by the
// applet's name. False when the user chose to keep the unsaved document.
bool generateApplet(Document& document, const QString& imports, const QString& name);
} // namespace NewApplet
