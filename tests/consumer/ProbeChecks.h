#pragma once

#include <QString>

class AppConsole;
class OrvApp;
class OrvConsole;

// Shows what was checked; a failed check is an error message and counts.
void Report(OrvConsole* console, bool ok, const QString& what);
int Failures();

// IBM floats, EBCDIC text and calendar names from the vocabulary.
void CheckVocabulary(OrvConsole* console);
void CheckAboutDialog(OrvApp* app);

// What the console's three progress signals carried: without a progress
// dialog they are the only trace a progress run leaves.
class ProgressRecord {
public:
    explicit ProgressRecord(AppConsole* console);
    void Reset();
    QString Summary() const;

private:
    ProgressRecord() = default;

    QString text;
    int total = -1;
    int updates = 0;
    int last = -1;
    int clears = 0;
};
