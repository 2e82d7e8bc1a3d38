#pragma once

#include <OrvApp.h>

// A product of the family in its smallest form: no windows, a console that
// writes to standard output and to a console file.
class ProbeApp : public OrvApp {
    Q_OBJECT

public:
    ProbeApp(int& argc, char** argv, const QString& consoleName);
    ~ProbeApp() override;

    int Start() override;

private:
    QString consoleName;
};
