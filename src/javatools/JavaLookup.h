#pragma once

#include <QStringList>

// The command (program first) that starts the compile service: the java launcher of the JDK whose
// javac the search path finds, on the service's jar. Empty when there is no JDK or no jar.
QStringList checkServiceCommand();

// The same with the jar given, for the build's own tools; empty without a JDK.
QStringList checkServiceCommand(const QString& jar);

// The command that starts the Interactions service (it lives in the same jar); empty when there is
// no JDK or no jar.
QStringList interactionsServiceCommand();
