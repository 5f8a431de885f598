#include "archive/printabletext.h"

#include <QTest>

using namespace vexa;

class TestPrintableText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void escapes_data();
    void escapes();
};

void TestPrintableText::escapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("asName");
    QTest::addColumn<QString>("asText");
    QTest::newRow("plain text stays") << "Qt 6 [iv2]"
                                      << "Qt 6 [iv2]"
                                      << "Qt 6 [iv2]";
    QTest::newRow("line breaks and tabs: kept in a text, not in a name") << "a\n\tb"
                                                                         << "a\\x0A\\x09b"
                                                                         << "a\n\tb";
    QTest::newRow("an escape sequence") << "ctl\x1b[31mred.txt"
                                        << "ctl\\x1B[31mred.txt"
                                        << "ctl\\x1B[31mred.txt";
    QTest::newRow("carriage return and DEL") << "a\rb\x7f"
                                             << "a\\x0Db\\x7F"
                                             << "a\\x0Db\\x7F";
    QTest::newRow("C1 control sequence introducer") << QString(QChar(0x9b)) + "2J"
                                                    << "\\x9B2J"
                                                    << "\\x9B2J";
    QTest::newRow("right-to-left override") << QString(QChar(0x202e)) + "txt.exe"
                                            << "\\u202Etxt.exe"
                                            << "\\u202Etxt.exe";
}

void TestPrintableText::escapes()
{
    QFETCH(QString, text);
    QFETCH(QString, asName);
    QFETCH(QString, asText);
    QCOMPARE(printableName(text), asName);
    QCOMPARE(printableText(text), asText);
}

QTEST_GUILESS_MAIN(TestPrintableText)
#include "tst_printabletext.moc"
