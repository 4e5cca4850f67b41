#include "common/device_text.h"

#include <QTest>

using tessaravolt::common::cleanDeviceText;

class TestDeviceText : public QObject
{
    Q_OBJECT

private slots:
    void cleansWhatWouldReorderOrBreakTheLine_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QStringLiteral("Tavrin TV-140") << QStringLiteral("Tavrin TV-140");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("only controls") << QStringLiteral("\x01\x1B\x7F") << QString();
        QTest::newRow("every C0") << [] {
            QString s;
            for (char16_t c = 0; c < 0x20; ++c)
                s += QChar(c) + QStringLiteral("a");
            return s;
        }() << QString(32, QLatin1Char('a'));
        QTest::newRow("escape sequence") << QStringLiteral("\x1B[2J\x1B]0;t\x07x") << QStringLiteral("[2J]0;tx");
        QTest::newRow("DEL and C1") << QStringLiteral("a\x7F"
                                                      "b\u0080c\u009Bd\u009Fe")
                                    << QStringLiteral("abcde");
        QTest::newRow("bidi embeddings and overrides")
            << QStringLiteral("\u202A1\u202B2\u202C3\u202D4\u202E5") << QStringLiteral("12345");
        QTest::newRow("bidi isolates") << QStringLiteral("\u20666\u20677\u20688\u20699") << QStringLiteral("6789");
        QTest::newRow("line and paragraph separators")
            << QStringLiteral("Cell\u2028One\u2029Two") << QStringLiteral("CellOneTwo");
        // Neighbours of the removed ranges, other scripts, and characters beyond the BMP stay.
        QTest::newRow("kept") << QStringLiteral("\u00A0\u2027\u202F\u2065\u206A\u200F \u4E2D\u6587 \U0001F50B <b>&amp;")
                              << QStringLiteral(
                                     "\u00A0\u2027\u202F\u2065\u206A\u200F \u4E2D\u6587 \U0001F50B <b>&amp;");
        QTest::newRow("markup stays text") << QStringLiteral("<img src=\"http://127.0.0.1/x.png\">")
                                           << QStringLiteral("<img src=\"http://127.0.0.1/x.png\">");
    }

    void cleansWhatWouldReorderOrBreakTheLine()
    {
        QFETCH(QString, device);
        QFETCH(QString, shown);
        QCOMPARE(cleanDeviceText(device), shown);
        QCOMPARE(cleanDeviceText(shown), shown);
    }
};

QTEST_APPLESS_MAIN(TestDeviceText)

#include "tst_device_text.moc"
