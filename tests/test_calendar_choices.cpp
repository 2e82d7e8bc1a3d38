#include "CalendarChoices.h"

#include <QtTest>

#include <climits>
#include <iterator>

static_assert(std::size(MonthChoices) == 13, "month 0 (not set) and 1 to 12");
static_assert(std::size(YearChoices) == 21, "offset 0 (not set) and 2001 to 2020");

class TestCalendarChoices : public QObject {
    Q_OBJECT

private slots:
    void arrays();
    void monthLookup_data();
    void monthLookup();
    void yearLookup_data();
    void yearLookup();
};

void TestCalendarChoices::arrays()
{
    const QStringList months = {"not set", "January", "February", "March", "April", "May", "June",
        "July", "August", "September", "October", "November", "December"};
    QStringList years = {"not set"};
    for (int year = 2001; year <= 2020; ++year)
        years << QString::number(year);

    QCOMPARE(QStringList(std::begin(MonthChoices), std::end(MonthChoices)), months);
    QCOMPARE(QStringList(std::begin(YearChoices), std::end(YearChoices)), years);
}

void TestCalendarChoices::monthLookup_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0 -> not set") << 0 << "not set";
    QTest::newRow("1 -> January") << 1 << "January";
    QTest::newRow("6 -> June") << 6 << "June";
    QTest::newRow("12 -> December") << 12 << "December";
    QTest::newRow("13 -> not set") << 13 << "not set";
    QTest::newRow("-1 -> not set") << -1 << "not set";
    QTest::newRow("INT_MAX -> not set") << INT_MAX << "not set";
    QTest::newRow("INT_MIN -> not set") << INT_MIN << "not set";
}

void TestCalendarChoices::monthLookup()
{
    QFETCH(int, month);
    QFETCH(QString, expected);
    QCOMPARE(MonthChoice(month), expected);
}

void TestCalendarChoices::yearLookup_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0 -> not set") << 0 << "not set";
    QTest::newRow("1 -> 2001") << 1 << "2001";
    QTest::newRow("10 -> 2010") << 10 << "2010";
    QTest::newRow("20 -> 2020") << 20 << "2020";
    QTest::newRow("21 -> not set") << 21 << "not set";
    QTest::newRow("-1 -> not set") << -1 << "not set";
    QTest::newRow("full year 2005 -> not set") << 2005 << "not set";
    QTest::newRow("INT_MIN -> not set") << INT_MIN << "not set";
}

void TestCalendarChoices::yearLookup()
{
    QFETCH(int, offset);
    QFETCH(QString, expected);
    QCOMPARE(YearChoice(offset), expected);
}

QTEST_GUILESS_MAIN(TestCalendarChoices)
#include "test_calendar_choices.moc"
