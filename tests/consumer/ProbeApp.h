#pragma once

#include <OrvApp.h>

class ProgressRecord;

// A product of the family in its smallest form: no windows, a console that
// writes to standard output and to a console file. Start() sets it up and
// queues its work; the work ends the event loop with the exit status.
class ProbeApp : public OrvApp {
    Q_OBJECT

public:
    ProbeApp(int& argc, char** argv, const QString& consoleName);
    ~ProbeApp() override;

    int Start() override;

private:
    void RunChecks();
    void RunWorker();
    void Finish();

    QString consoleName;
    ProgressRecord* progress = nullptr;
};
