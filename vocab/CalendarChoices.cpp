#include "CalendarChoices.h"

#include <iterator>

const QString MonthChoices[13] = {
    QStringLiteral("not set"),
    QStringLiteral("January"),
    QStringLiteral("February"),
    QStringLiteral("March"),
    QStringLiteral("April"),
    QStringLiteral("May"),
    QStringLiteral("June"),
    QStringLiteral("July"),
    QStringLiteral("August"),
    QStringLiteral("September"),
    QStringLiteral("October"),
    QStringLiteral("November"),
    QStringLiteral("December"),
};

const QString YearChoices[21] = {
    QStringLiteral("not set"),
    QStringLiteral("2001"),
    QStringLiteral("2002"),
    QStringLiteral("2003"),
    QStringLiteral("2004"),
    QStringLiteral("2005"),
    QStringLiteral("2006"),
    QStringLiteral("2007"),
    QStringLiteral("2008"),
    QStringLiteral("2009"),
    QStringLiteral("2010"),
    QStringLiteral("2011"),
    QStringLiteral("2012"),
    QStringLiteral("2013"),
    QStringLiteral("2014"),
    QStringLiteral("2015"),
    QStringLiteral("2016"),
    QStringLiteral("2017"),
    QStringLiteral("2018"),
    QStringLiteral("2019"),
    QStringLiteral("2020"),
};

const QString& MonthChoice(int month)
{
    if (month < 0 || month >= int(std::size(MonthChoices)))
        return MonthChoices[0];
    return MonthChoices[month];
}

const QString& YearChoice(int yearOffset)
{
    if (yearOffset < 0 || yearOffset >= int(std::size(YearChoices)))
        return YearChoices[0];
    return YearChoices[yearOffset];
}
